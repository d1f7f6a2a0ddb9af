#include "host/ui/qt/QtMessageListView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "host/ui/IMainWindowModel.h"

namespace ui::qt {

namespace {

using Column = MessageListModel::Column;

bool RightAligned(int column) {
  return column == MessageListModel::kChannel || column == MessageListModel::kCount ||
         column == MessageListModel::kRate || column == MessageListModel::kLength ||
         column == MessageListModel::kSinceLast;
}

bool Monospaced(int column) {
  return column == MessageListModel::kId || column == MessageListModel::kData;
}

// Background of a changed byte at full highlight; it fades to none with the highlight.
const QColor kChangedByte(0xFF, 0x9F, 0x1A);

}  // namespace

// The list model as Qt's views read it.
class QtMessageListView::TableModel : public QAbstractTableModel {
 public:
  TableModel(const MessageListModel& list, QObject* parent)
      : QAbstractTableModel(parent), m_list(list) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_list.RowCount());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : MessageListModel::kColumnCount;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_list.RowCount()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<Column>(index.column());
    switch (role) {
      case Qt::DisplayRole:
        return QString::fromStdString(m_list.Text(row, column));
      case Qt::ToolTipRole:
        return column == MessageListModel::kName || column == MessageListModel::kData
                   ? QVariant(QString::fromStdString(m_list.Text(row, column)))
                   : QVariant();
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (RightAligned(column) ? Qt::AlignRight : Qt::AlignLeft));
      case Qt::FontRole:
        return Monospaced(column) ? QVariant(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                                  : QVariant();
      default:
        return {};
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return QString::fromUtf8(MessageListModel::Title(static_cast<Column>(section)));
  }

  // The rows, or their order, changed.
  void Reset() {
    beginResetModel();
    endResetModel();
  }
  // Only the values of the rows shown changed.
  void ValuesChanged() {
    if (m_list.RowCount() == 0) return;
    Q_EMIT dataChanged(index(0, 0), index(rowCount({}) - 1, MessageListModel::kColumnCount - 1));
  }

 private:
  const MessageListModel& m_list;
};

// The data bytes as hexadecimal pairs, each on a background that shows how recently it changed.
class QtMessageListView::BytesDelegate : public QStyledItemDelegate {
 public:
  BytesDelegate(const MessageListModel& list, QObject* parent)
      : QStyledItemDelegate(parent), m_list(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= m_list.RowCount()) return;
    const MessageStat& s = m_list.Row(row);
    const QString text = QString::fromStdString(MessageListModel::DataText(s));
    painter->save();
    painter->setFont(opt.font);
    const QFontMetrics metrics(opt.font);
    const int pair = metrics.horizontalAdvance(QStringLiteral("00"));
    const int step = metrics.horizontalAdvance(QStringLiteral("00 "));
    const QRect area = opt.rect.adjusted(4, 1, -2, -1);
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    for (int i = 0; i < s.length; ++i) {
      const QRect cell(area.left() + i * step, area.top(), pair, area.height());
      if (cell.right() > area.right()) {
        painter->drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("\u2026"));
        break;
      }
      if (const double h = m_list.Highlight(row, i); h > 0.0) {
        QColor fill = kChangedByte;
        fill.setAlphaF(static_cast<float>(0.15 + 0.85 * h));
        painter->fillRect(cell.adjusted(-1, 1, 1, -1), fill);
      }
      painter->drawText(cell, Qt::AlignCenter, text.mid(static_cast<qsizetype>(i) * 3, 2));
    }
    painter->restore();
  }

 private:
  const MessageListModel& m_list;
};

QtMessageListView::QtMessageListView(IMainWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName(QStringLiteral("messageList"));
  m_list.SetNamer(
      [&model](int channel, std::uint32_t id) { return model.MessageName(channel, id); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_filter = new QLineEdit(this);
  m_filter->setObjectName(QStringLiteral("messageFilter"));
  m_filter->setPlaceholderText(QStringLiteral("Filter by identifier or message name"));
  m_filter->setClearButtonEnabled(true);
  connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& t) { SetFilter(t); });
  auto* top = new QHBoxLayout;
  m_count = new QLabel(this);
  top->addWidget(m_filter, 1);
  top->addWidget(m_count);
  layout->addLayout(top);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  BuildTable(splitter);
  QWidget* side = BuildSignals(splitter);
  splitter->addWidget(m_table);
  splitter->addWidget(side);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter, 1);

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
  timer->start(kRefreshMs);
  Refresh();
}

QtMessageListView::~QtMessageListView() = default;

void QtMessageListView::BuildTable(QWidget* parent) {
  m_table = new QTableView(parent);
  m_table->setObjectName(QStringLiteral("messages"));
  m_tableModel = new TableModel(m_list, m_table);
  m_table->setModel(m_tableModel);
  m_table->setItemDelegateForColumn(MessageListModel::kData, new BytesDelegate(m_list, m_table));
  m_table->setWordWrap(false);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  QHeaderView* header = m_table->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(MessageListModel::kId, Qt::AscendingOrder);
  const QFontMetrics mono(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const int pad = 16;
  const std::pair<int, int> widths[] = {
      {MessageListModel::kChannel, fontMetrics().horizontalAdvance(QStringLiteral("Ch 00")) + pad},
      {MessageListModel::kId, mono.horizontalAdvance(QStringLiteral("18FEF100 x")) + pad},
      {MessageListModel::kName, fontMetrics().horizontalAdvance(QStringLiteral("W")) * 16},
      {MessageListModel::kCount, fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + pad},
      {MessageListModel::kRate,
       fontMetrics().horizontalAdvance(QStringLiteral("Rate (1/s)")) + pad},
      {MessageListModel::kLength, fontMetrics().horizontalAdvance(QStringLiteral("Len")) + pad},
      {MessageListModel::kData, mono.horizontalAdvance(QStringLiteral("00 ")) * 8 + pad},
      {MessageListModel::kSinceLast,
       fontMetrics().horizontalAdvance(QStringLiteral("Since last (s)")) + pad}};
  for (const auto& [column, width] : widths)
    header->resizeSection(column, width);
  header->setSectionResizeMode(MessageListModel::kName, QHeaderView::Stretch);
  connect(header, &QHeaderView::sortIndicatorChanged, this,
          [this](int column, Qt::SortOrder order) {
            if (m_list.SetSort(static_cast<Column>(column), order == Qt::AscendingOrder)) {
              m_tableModel->Reset();
              Reselect();
            }
          });
  connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { Selected(); });
}

QWidget* QtMessageListView::BuildSignals(QWidget* parent) {
  auto* side = new QWidget(parent);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  m_selectedTitle = new QLabel(side);
  m_selectedTitle->setWordWrap(true);
  m_signals = new QTableWidget(0, 3, side);
  m_signals->setObjectName(QStringLiteral("messageSignals"));
  m_signals->setHorizontalHeaderLabels({"Chart signal", "Value", "Unit"});
  m_signals->verticalHeader()->hide();
  m_signals->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_signals->setTextElideMode(Qt::ElideMiddle);
  m_signals->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_signals->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_signals->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  connect(m_signals, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { ChartTicked(item); });
  sideLayout->addWidget(m_selectedTitle);
  sideLayout->addWidget(m_signals, 1);
  return side;
}

void QtMessageListView::Refresh() {
  MessageSnapshotPtr snapshot = m_model.Messages();
  if (snapshot == m_shown) return;
  // A new measurement may come with other DBC files: the names are asked again.
  if (snapshot && m_shown && snapshot->seconds < m_shown->seconds)
    m_list.SetNamer([&model = m_model](int channel, std::uint32_t id) {
      return model.MessageName(channel, id);
    });
  m_shown = snapshot;
  ++m_redraws;
  if (m_list.Update(std::move(snapshot))) {
    m_tableModel->Reset();
    Reselect();
  } else {
    m_tableModel->ValuesChanged();
    ShowSignals();
  }
  ShowCount();
}

void QtMessageListView::SetFilter(const QString& text) {
  if (m_filter->text() != text) m_filter->setText(text);  // comes back here through textChanged
  if (!m_list.SetFilter(text.toStdString())) return;
  ShowCount();
  m_tableModel->Reset();
  Reselect();
}

void QtMessageListView::ShowCount() {
  const std::size_t all = m_shown ? m_shown->rows.size() : 0;
  QString text = QStringLiteral("%1 of %2 identifiers").arg(m_list.RowCount()).arg(all);
  // The list is bounded; what it leaves out is said, not hidden.
  if (m_shown && m_shown->unlisted != 0)
    text +=
        QStringLiteral(", %1 messages of further identifiers not listed").arg(m_shown->unlisted);
  m_count->setText(text);
}

bool QtMessageListView::SelectRow(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= m_list.RowCount()) return false;
  m_table->selectRow(row);
  return true;
}

void QtMessageListView::Selected() {
  const QModelIndexList rows = m_table->selectionModel()->selectedRows();
  if (!rows.isEmpty() && static_cast<std::size_t>(rows.front().row()) < m_list.RowCount()) {
    const MessageStat& s = m_list.Row(static_cast<std::size_t>(rows.front().row()));
    m_selected = {s.channel, s.id};
  }
  ShowSignals();
}

// After the rows were reset (which clears the selection quietly), the message chosen before is
// selected again where it now is, when the filter still shows it.
void QtMessageListView::Reselect() {
  if (m_selected)
    if (const auto row = m_list.Find(m_selected->first, m_selected->second)) {
      // Where the person has scrolled stays: a list sorted by rate reorders at every refresh, and
      // following the selection would pull the view back to it each time.
      const QModelIndex index = m_tableModel->index(static_cast<int>(*row), 0);
      m_table->setAutoScroll(false);
      m_table->selectionModel()->setCurrentIndex(
          index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      m_table->setAutoScroll(true);
    }
  ShowSignals();
}

void QtMessageListView::ShowSignals() {
  const auto row = m_selected ? m_list.Find(m_selected->first, m_selected->second) : std::nullopt;
  if (!row) {
    m_selectedTitle->setText(QStringLiteral("Select a message to see its signals"));
    m_signals->setRowCount(0);
    return;
  }
  const MessageStat& s = m_list.Row(*row);
  const std::string& name = m_list.Name(*row);
  const auto values = m_model.DecodeMessage(s.channel, s.id, s.data.data(), s.length);
  m_selectedTitle->setText(QStringLiteral("<b>%1</b> on channel %2: %3")
                               .arg(QString::fromStdString(MessageListModel::IdText(s.id)))
                               .arg(s.channel)
                               .arg(name.empty()
                                        ? QStringLiteral("no DBC file of the channel names it")
                                        : QString::fromStdString(name).toHtmlEscaped()));
  m_filling = true;
  m_signals->setRowCount(static_cast<int>(values.size()));
  for (int r = 0; r < static_cast<int>(values.size()); ++r) {
    const DecodedSignal& v = values[static_cast<std::size_t>(r)];
    const QString cells[] = {QString::fromStdString(v.name), QString::number(v.value, 'g', 10),
                             QString::fromStdString(v.unit)};
    for (int c = 0; c < 3; ++c) {
      QTableWidgetItem* item = m_signals->item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // The tick beside a name charts the signal with the others.
        if (c == 0) item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        m_signals->setItem(r, c, item);
      }
      if (item->text() != cells[c]) item->setText(cells[c]);
    }
    const bool charted = m_model.Charted(s.channel, s.id, v.name);
    m_signals->item(r, 0)->setCheckState(charted ? Qt::Checked : Qt::Unchecked);
  }
  m_filling = false;
}

void QtMessageListView::ChartTicked(QTableWidgetItem* item) {
  if (m_filling || item->column() != 0 || !m_selected) return;
  const bool on = item->checkState() == Qt::Checked;
  const WindowState::Message signal{m_selected->first, m_selected->second,
                                    item->text().toStdString()};
  if (!m_model.ChartSignal(signal.channel, signal.id, signal.signal, on)) {
    ShowSignals();  // refused: the tick goes back
    return;
  }
  std::erase(m_charted, signal);
  if (on) m_charted.push_back(signal);
}

bool QtMessageListView::ChartSignal(const QString& name) {
  for (int r = 0; r < m_signals->rowCount(); ++r) {
    QTableWidgetItem* item = m_signals->item(r, 0);
    if (item == nullptr || item->text() != name) continue;
    item->setCheckState(Qt::Checked);
    return true;
  }
  return false;
}

void QtMessageListView::ChartAgain(const std::vector<WindowState::Message>& signals) {
  for (const WindowState::Message& signal : signals)
    if (std::find(m_charted.begin(), m_charted.end(), signal) == m_charted.end() &&
        m_model.ChartSignal(signal.channel, signal.id, signal.signal, true))
      m_charted.push_back(signal);
}

}  // namespace ui::qt
