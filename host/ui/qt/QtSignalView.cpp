#include "host/ui/qt/QtSignalView.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "host/ui/IMainWindowModel.h"
#include "host/ui/qt/QtChartView.h"

namespace ui::qt {

namespace {

const QStringList kColumns = {"Plot", "Signal", "Unit", "Value", "Time (s)", "Time-out"};

QString TimeoutText(const SignalRow& signal) {
  QString text = !signal.hasValue  ? QStringLiteral("-")
                 : signal.timedOut ? QStringLiteral("timed out")
                                   : QStringLiteral("ok");
  if (signal.timeouts != 0) text += QStringLiteral(" (%1)").arg(signal.timeouts);
  return text;
}

}  // namespace

QtSignalView::QtSignalView(IMainWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* splitter = m_splitter = new QSplitter(Qt::Horizontal, this);
  m_table = new QTableWidget(0, static_cast<int>(kColumns.size()), splitter);
  m_table->setObjectName(QStringLiteral("signals"));
  m_table->setHorizontalHeaderLabels(kColumns);
  m_table->verticalHeader()->hide();
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A name too long for its column loses its middle: the end says which channel it came from.
  // (Wrapped, it would lose its second line instead.)
  m_table->setWordWrap(false);
  m_table->setTextElideMode(Qt::ElideMiddle);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // The widths follow the rows in view only: a DBC file of thousands of signals would otherwise
  // have every redraw measure every row, and the window would fall behind.
  m_table->horizontalHeader()->setResizeContentsPrecision(0);
  m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* i) { Ticked(i); });
  splitter->addWidget(m_table);
  splitter->addWidget(ChartPane(splitter));
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  layout->addWidget(splitter);

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
  timer->start(kRefreshMs);
  Refresh();
}

void QtSignalView::Refresh() {
  // The chart leaves following live on a wheel turn or a drag.
  m_follow->setEnabled(!m_chart->chart().following());
  SignalSnapshotPtr snapshot = m_model.Signals();
  if (snapshot == m_shown) return;
  m_shown = snapshot;
  m_chart->chart().Take(snapshot);  // first: the table shows values at the resolution it learns
  const int rows = snapshot ? static_cast<int>(snapshot->rows.size()) : 0;
  m_filling = true;
  m_table->setRowCount(rows);
  QSet<QString> fromList;
  for (int r = 0; r < rows; ++r) {
    const SignalRow& row = snapshot->rows[static_cast<std::size_t>(r)];
    FillRow(r, row);
    if (row.fromMessageList) fromList.insert(QString::fromStdString(row.series.name));
  }
  // One no longer charted from the list is ticked again when it is charted again.
  m_fromList.intersect(fromList);
  m_filling = false;
  Charted();
}

QWidget* QtSignalView::ChartPane(QWidget* parent) {
  auto* pane = new QWidget(parent);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* buttons = new QHBoxLayout;
  m_follow = new QPushButton(QStringLiteral("Follow live"), pane);
  m_follow->setObjectName(QStringLiteral("follow"));
  m_follow->setToolTip(
      QStringLiteral("Show the last 30 s as they come (or double click the chart)"));
  auto* picture = new QPushButton(QStringLiteral("Save picture..."), pane);
  auto* saveData = new QPushButton(QStringLiteral("Save data..."), pane);
  buttons->addWidget(m_follow);
  buttons->addWidget(picture);
  buttons->addWidget(saveData);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  m_chart = new QtChartView(pane);
  m_chart->setToolTip(QStringLiteral(
      "Wheel: zoom the time, Ctrl+wheel: the values; drag: pan; double click: follow live"));
  layout->addWidget(m_chart, 1);
  connect(m_follow, &QPushButton::clicked, this, [this] {
    m_chart->chart().Follow();
    Charted();
  });
  connect(picture, &QPushButton::clicked, this, [this] { Export(true); });
  connect(saveData, &QPushButton::clicked, this, [this] { Export(false); });
  return pane;
}

void QtSignalView::Export(bool picture) {
  const QString path = QFileDialog::getSaveFileName(
      this, picture ? QStringLiteral("Save the chart") : QStringLiteral("Save the chart's data"),
      picture ? QStringLiteral("chart.png") : QStringLiteral("chart.csv"),
      picture ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  std::string error;
  if (!(picture ? m_chart->WritePng(path.toStdString(), error)
                : m_chart->WriteCsv(path.toStdString(), error)))
    QMessageBox::warning(this, QStringLiteral("canhost"), QString::fromStdString(error));
}

// The chart gets the ticked signals in the order they were ticked: those charted before keep
// their place, new ones follow in the table's order.
void QtSignalView::Charted() {
  std::vector<std::string> names;
  for (const std::string& name : m_chart->chart().charted())
    if (m_ticked.contains(QString::fromStdString(name))) names.push_back(name);
  for (int r = 0; r < m_table->rowCount(); ++r) {
    const QTableWidgetItem* tick = m_table->item(r, 0);
    if (tick == nullptr || tick->checkState() != Qt::Checked) continue;
    const std::string name = tick->data(Qt::UserRole).toString().toStdString();
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  m_chart->chart().SetCharted(names);
  m_follow->setEnabled(!m_chart->chart().following());
  m_chart->Show();
}

void QtSignalView::FillRow(int row, const SignalRow& signal) {
  const QString name = QString::fromStdString(signal.series.name);
  if (!m_userChose && signal.hasValue && !m_ticked.contains(name) && m_ticked.size() < kAutoTicked)
    m_ticked.insert(name);
  // A signal charted from the message list is plotted as soon as it shows.
  if (signal.fromMessageList && !m_fromList.contains(name)) {
    m_fromList.insert(name);
    m_ticked.insert(name);
  }
  const QString cells[] = {
      QString(),
      name,
      QString::fromStdString(signal.series.unit),
      signal.hasValue ? QString::fromStdString(ChartModel::Format(
                            signal.value, m_chart->chart().Decimals(signal.series.name)))
                      : QStringLiteral("-"),
      signal.hasValue ? QString::number(signal.time, 'f', 3) : QStringLiteral("-"),
      TimeoutText(signal)};
  for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
    QTableWidgetItem* item = m_table->item(row, c);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      if (c >= 3 && c <= 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      m_table->setItem(row, c, item);
    }
    if (c == 0) {
      // Set only when they change: each setting is a change the view handles.
      const Qt::CheckState check = m_ticked.contains(name) ? Qt::Checked : Qt::Unchecked;
      if (item->flags() != (Qt::ItemIsUserCheckable | Qt::ItemIsEnabled))
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
      if (item->data(Qt::CheckStateRole).isNull() || item->checkState() != check)
        item->setCheckState(check);
      if (item->data(Qt::UserRole).toString() != name) item->setData(Qt::UserRole, name);
    } else if (item->text() != cells[c]) {
      item->setText(cells[c]);
      if (c == 1) item->setToolTip(cells[c]);
    }
  }
}

void QtSignalView::Ticked(QTableWidgetItem* item) {
  if (m_filling || item->column() != 0) return;
  const QString name = item->data(Qt::UserRole).toString();
  m_userChose = true;
  if (item->checkState() == Qt::Checked)
    m_ticked.insert(name);
  else
    m_ticked.remove(name);
  Charted();
}

std::vector<std::string> QtSignalView::Ticked() const {
  std::vector<std::string> names = m_chart->chart().charted();
  std::erase_if(
      names, [&](const std::string& n) { return !m_ticked.contains(QString::fromStdString(n)); });
  return names;
}

void QtSignalView::Tick(const std::vector<std::string>& names) {
  m_ticked.clear();
  for (const std::string& name : names)
    m_ticked.insert(QString::fromStdString(name));
  m_userChose = !names.empty();
  m_chart->chart().SetCharted(names);
  m_shown.reset();  // the table's ticks are set again
  Refresh();
}

// A splitter lays its widgets out only when it shows: in a tab behind another, the widths asked
// for wait for that.
std::vector<int> QtSignalView::Split() const {
  if (!m_split.empty()) return m_split;
  const QList<int> sizes = m_splitter->sizes();
  return {sizes.begin(), sizes.end()};
}

void QtSignalView::SetSplit(const std::vector<int>& widths) {
  if (widths.size() != 2 || widths[0] < 0 || widths[1] < 0) return;
  m_split = widths;
  if (isVisible()) showEvent(nullptr);
}

void QtSignalView::showEvent(QShowEvent* /*event*/) {
  if (m_split.empty()) return;
  m_splitter->setSizes({m_split[0], m_split[1]});
  m_split.clear();
}

bool QtSignalView::WriteTable(const std::string& path) const {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&file);
  for (int r = 0; r < m_table->rowCount(); ++r) {
    for (int c = 1; c < m_table->columnCount(); ++c)
      out << (c > 1 ? "\t" : "") << (m_table->item(r, c) ? m_table->item(r, c)->text() : QString());
    out << "\n";
  }
  out.flush();
  return out.status() == QTextStream::Ok && file.commit();
}

}  // namespace ui::qt
