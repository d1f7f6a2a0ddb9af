#pragma once
// The message list of the main window: one row per channel and identifier of the snapshots the
// measurement publishes (ui::MessageListModel), the data bytes that changed recently on a
// background that fades, a filter field, sorting by a click on a column's title; beside it the
// signals of the selected message as its channel's DBC file decodes its last bytes, each with a
// tick that charts it in the signal view. Redrawn
// kRefreshMs apart, only when a new snapshot was published.
#include <QWidget>
#include <cstdint>
#include <optional>
#include <utility>

#include "host/ui/MessageListModel.h"
#include "host/ui/WindowState.h"

class QLineEdit;
class QTableView;
class QTableWidget;
class QTableWidgetItem;
class QLabel;

namespace ui {
class IMainWindowModel;
}

namespace ui::qt {

class QtMessageListView : public QWidget {
 public:
  static constexpr int kRefreshMs = 200;

  // [ui] Reads `model` (not owned; outlives the view).
  QtMessageListView(IMainWindowModel& model, QWidget* parent);
  ~QtMessageListView() override;
  QtMessageListView(const QtMessageListView&) = delete;
  QtMessageListView& operator=(const QtMessageListView&) = delete;

  // [ui] Takes the latest snapshot.
  void Refresh();
  // [ui] Selects row `row` of the list as shown; false when there is none.
  bool SelectRow(int row);
  // [ui] Shows only rows whose identifier or name holds `text`.
  void SetFilter(const QString& text);
  // [ui] The DBC signals the person charted from the list, in the order charted.
  const std::vector<WindowState::Message>& ChartedSignals() const noexcept { return m_charted; }
  // [ui] Ticks signal `name` of the selected message, as the person would; false when it shows
  // no such signal.
  bool ChartSignal(const QString& name);
  // [ui] Charts `signals` again (as remembered from an earlier run); those the model refuses are
  // left out.
  void ChartAgain(const std::vector<WindowState::Message>& signals);
  // [ui] Snapshots taken since construction (a bench counts them).
  int Redraws() const noexcept { return m_redraws; }
  // [ui] The list itself, and the decoded signals of the selected message.
  QTableView* Table() const noexcept { return m_table; }
  QTableWidget* Signals() const noexcept { return m_signals; }

 private:
  class TableModel;
  class BytesDelegate;

  // The constructor's parts: the list, and the decoded signals beside it.
  void BuildTable(QWidget* parent);
  QWidget* BuildSignals(QWidget* parent);
  void Selected();
  void Reselect();
  void ShowSignals();
  void ChartTicked(QTableWidgetItem* item);
  void ShowCount();

  IMainWindowModel& m_model;
  MessageListModel m_list;
  TableModel* m_tableModel;
  QLineEdit* m_filter;
  QLabel* m_count;  // rows shown of all
  QTableView* m_table;
  QLabel* m_selectedTitle;
  QTableWidget* m_signals;
  MessageSnapshotPtr m_shown;
  std::optional<std::pair<int, std::uint32_t>> m_selected;  // channel and identifier
  int m_redraws = 0;
  std::vector<WindowState::Message> m_charted;
  bool m_filling = false;  // the signals table changes from ShowSignals, not from the person
};

}  // namespace ui::qt
