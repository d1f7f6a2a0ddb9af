#include "host/ui/qt/QtLogView.h"

#include <QBrush>
#include <QColor>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "host/ui/LogModel.h"

namespace ui::qt {

namespace {

// Background and text of a line, by how grave it is; the usual signal colours, pale enough that
// the text reads in black or dark red.
void Highlight(QListWidgetItem& item, LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      item.setBackground(QColor(0xFF, 0xD7, 0xD7));
      item.setForeground(QColor(0x8B, 0x00, 0x00));
      break;
    case LogLevel::Warning:
      item.setBackground(QColor(0xFF, 0xF0, 0xC0));
      item.setForeground(QColor(0x6B, 0x45, 0x00));
      break;
    case LogLevel::Info:
      break;
  }
}

const char* Prefix(LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      return "error: ";
    case LogLevel::Warning:
      return "warning: ";
    case LogLevel::Info:
      break;
  }
  return "";
}

}  // namespace

QtLogView::QtLogView(std::shared_ptr<LogModel> model, QWidget* parent)
    : QWidget(parent), m_model(std::move(model)), m_list(new QListWidget(this)) {
  setObjectName(QStringLiteral("log"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setUniformItemSizes(true);
  m_list->setWordWrap(false);
  layout->addWidget(m_list);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
  timer->start(kRefreshMs);
  Refresh();
}

void QtLogView::Refresh() {
  if (m_model->Revision() == m_shown) return;
  QScrollBar* bar = m_list->verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  for (const LogEntry& entry : m_model->Lines()) {
    if (entry.number <= m_shown) continue;
    auto* item = new QListWidgetItem(QString::fromUtf8(Prefix(entry.level)) +
                                     QString::fromStdString(entry.text));
    Highlight(*item, entry.level);
    item->setToolTip(QString::fromStdString(entry.text));
    m_list->addItem(item);
    m_shown = entry.number;
  }
  while (static_cast<std::size_t>(m_list->count()) > m_model->Capacity())
    delete m_list->takeItem(0);
  if (following) m_list->scrollToBottom();
}

}  // namespace ui::qt
