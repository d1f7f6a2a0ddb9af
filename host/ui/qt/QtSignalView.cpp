#include "host/ui/qt/QtSignalView.h"

#include <QHeaderView>
#include <QPainter>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "host/ui/IMainWindowModel.h"
#include "host/ui/qt/QtPlotPainter.h"

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

// The ticked signals over the last kPlotSeconds of the snapshot.
class QtSignalView::Plot : public QWidget {
 public:
  explicit Plot(QWidget* parent) : QWidget(parent) { setMinimumSize(320, 200); }

  void Show(SignalSnapshotPtr snapshot, const QSet<QString>& ticked) {
    m_snapshot = std::move(snapshot);
    m_ticked = ticked;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    std::vector<const PlotSeries*> series;
    double now = 0.0;
    if (m_snapshot) {
      now = m_snapshot->seconds;
      for (const SignalRow& row : m_snapshot->rows)
        if (m_ticked.contains(QString::fromStdString(row.series.name)))
          series.push_back(&row.series);
    }
    if (series.empty() && m_snapshot && !m_snapshot->rows.empty()) {
      painter.fillRect(rect(), Qt::white);
      painter.drawText(rect(), Qt::AlignCenter,
                       QStringLiteral("Tick signals in the table to plot them"));
      return;
    }
    const double t1 = std::max(now, kPlotSeconds);
    const int fontPx = std::max(10, fontMetrics().height() - 2);
    QtPlotPainter(series, rect(), t1 - kPlotSeconds, t1, now, fontPx).Paint(painter);
  }

 private:
  SignalSnapshotPtr m_snapshot;
  QSet<QString> m_ticked;
};

QtSignalView::QtSignalView(IMainWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
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
  m_plot = new Plot(splitter);
  splitter->addWidget(m_table);
  splitter->addWidget(m_plot);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  layout->addWidget(splitter);

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
  timer->start(kRefreshMs);
  Refresh();
}

void QtSignalView::Refresh() {
  SignalSnapshotPtr snapshot = m_model.Signals();
  if (snapshot == m_shown) return;
  m_shown = snapshot;
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
  m_plot->Show(std::move(snapshot), m_ticked);
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
      signal.hasValue ? QString::number(signal.value, 'g', 7) : QStringLiteral("-"),
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
  m_plot->Show(m_shown, m_ticked);
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
