#pragma once
// The decoded signals of the main window: a table (plot tick, name, unit, last value, its time,
// time-out state) and the chart of the ticked signals (QtChartView) with the whole run to review,
// both fed from the snapshot the measurement publishes, kRefreshMs apart. The first signals to
// get values are ticked until the user ticks or unticks one.
#include <QSet>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "host/ui/SignalSnapshot.h"

class QPushButton;
class QSplitter;
class QTableWidget;
class QTableWidgetItem;

namespace ui {
class IMainWindowModel;
}

namespace ui::qt {

class QtChartView;

class QtSignalView : public QWidget {
 public:
  static constexpr int kRefreshMs = 50;
  // Signals ticked on their own, before the user chooses.
  static constexpr int kAutoTicked = 4;

  // [ui] Reads `model` (not owned; outlives the view).
  QtSignalView(IMainWindowModel& model, QWidget* parent);

  // [ui] Takes the latest snapshot.
  void Refresh();
  // [ui] The table as text, one line per signal, cells separated by tabs; false when the file
  // cannot be written.
  bool WriteTable(const std::string& path) const;
  // [ui] The chart, for its model and what --actions do to it.
  QtChartView& chart() noexcept { return *m_chart; }
  // [ui] The chart takes the ticked signals and redraws.
  void Charted();
  // [ui] The signals ticked, in the order ticked; ticks `names` as the person's choice.
  std::vector<std::string> Ticked() const;
  void Tick(const std::vector<std::string>& names);
  // [ui] The widths of the table and the chart; sets them (empty: left as they are).
  std::vector<int> Split() const;
  void SetSplit(const std::vector<int>& widths);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* ChartPane(QWidget* parent);
  void Export(bool picture);

  void FillRow(int row, const SignalRow& signal);
  void Ticked(QTableWidgetItem* item);

  IMainWindowModel& m_model;
  QTableWidget* m_table;
  QSplitter* m_splitter;
  std::vector<int> m_split;  // widths asked for before the view showed
  QtChartView* m_chart;
  QPushButton* m_follow;
  SignalSnapshotPtr m_shown;
  QSet<QString> m_ticked;
  QSet<QString> m_fromList;  // charted from the message list, ticked when they first showed
  bool m_userChose = false;
  bool m_filling = false;  // the table changes from Refresh, not from the user
};

}  // namespace ui::qt
