#include "host/ui/qt/QtHelpWindow.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QTextBrowser>

namespace ui::qt {

QtHelpWindow::QtHelpWindow(const std::vector<HelpSection>& sections, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("help"));
  setWindowTitle(QStringLiteral("canhost help"));
  auto* layout = new QHBoxLayout(this);
  auto* list = new QListWidget(this);
  auto* text = new QTextBrowser(this);
  text->setOpenExternalLinks(true);
  for (const HelpSection& s : sections)
    list->addItem(QString::fromStdString(s.title).remove('`'));
  list->setMaximumWidth(240);
  layout->addWidget(list);
  layout->addWidget(text, 1);
  connect(list, &QListWidget::currentRowChanged, this, [text, sections](int row) {
    if (row >= 0 && row < static_cast<int>(sections.size()))
      text->setMarkdown(
          QString::fromStdString("## " + sections[static_cast<std::size_t>(row)].title + "\n" +
                                 sections[static_cast<std::size_t>(row)].markdown));
  });
  if (!sections.empty()) list->setCurrentRow(0);
  resize(900, 640);
}

}  // namespace ui::qt
