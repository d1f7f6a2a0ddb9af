// The main window's signal and message views on a scripted model, rendered offscreen: what a person
// reads in them at the window's usual size, a click on a column's title, the selection across a
// new order of the rows. Pictures are left in ui-png/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>
#include <array>
#include <cmath>
#include <fstream>
#include <set>

#include "host/settings/SettingsFolder.h"
#include "host/ui/IMainWindowModel.h"
#include "host/ui/MessageTracker.h"
#include "host/ui/WindowState.h"
#include "host/ui/qt/QtChartView.h"
#include "host/ui/qt/QtMainWindow.h"
#include "host/ui/qt/QtMessageListView.h"
#include "host/ui/qt/QtSignalView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/support/QtOffscreen.h"
#include "tests/support/TestSupport.h"

namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("main_views_qt_test");

using ui::MessageListModel;

// A measurement without the plug-in: the snapshots are what the test puts in.
class ScriptedModel : public ui::IMainWindowModel {
 public:
  std::vector<std::string> Modules() const override { return {}; }
  void ShowSettings(std::size_t /*index*/) override {}
  bool Start(std::string& /*error*/) override { return true; }
  void Stop() override {}
  ui::MeasurementSnapshot Snapshot() const override { return {}; }
  ui::SignalSnapshotPtr Signals() const override { return signals; }
  ui::MessageSnapshotPtr Messages() const override { return tracker.Snapshot(); }
  std::string MessageName(int /*channel*/, std::uint32_t id) const override {
    return id == 0x7E8 ? "OBD2_ECU1_Response" : "";
  }
  std::vector<ui::DecodedSignal> DecodeMessage(int /*channel*/, std::uint32_t id,
                                               const std::uint8_t* data,
                                               int /*length*/) const override {
    if (id != 0x7E8) return {};
    return {{"Service", "", static_cast<double>(data[1])},
            {"VehicleSpeed", "km/h", static_cast<double>(data[3])}};
  }
  bool ChartSignal(int /*channel*/, std::uint32_t id, const std::string& name, bool on) override {
    if (id != 0x7E8 || name == "Service") return false;  // as for a signal the file lacks
    if (on)
      charted.insert(name);
    else
      charted.erase(name);
    return true;
  }
  bool Charted(int /*channel*/, std::uint32_t /*id*/, const std::string& name) const override {
    return charted.count(name) != 0;
  }
  bool Close(std::string& /*error*/) override { return true; }

  ui::SignalSnapshotPtr signals;
  std::set<std::string> charted;
  ui::MessageTracker tracker;
};

std::string Cell(const QTableView& table, int row, int column) {
  return table.model()->index(row, column).data().toString().toStdString();
}

TEST(SignalView, TheChannelThatTellsTwoSignalsApartStaysReadable) {
  ScriptedModel model;
  auto snapshot = std::make_shared<ui::SignalSnapshot>();
  snapshot->seconds = 2.0;
  for (const char* name : {"Ambient air temperature outside the vehicle (CAN 0)",
                           "Ambient air temperature outside the vehicle (CAN 2)"}) {
    ui::SignalRow row;
    row.series = {name, "°C", {{1.0, 20.0}, {2.0, 21.0}}};
    row.hasValue = true;
    row.value = 21.0;
    row.time = 2.0;
    snapshot->rows.push_back(row);
  }
  // Charted from the message list: plotted at once, though the first signals are ticked already.
  ui::SignalRow fromList;
  fromList.series = {"VehicleSpeed", "km/h", {{1.5, 30.0}}};
  fromList.fromMessageList = true;
  snapshot->rows.push_back(fromList);
  model.signals = snapshot;
  // As wide as the main window's tab leaves it.
  ui::qt::QtSignalView view(model, nullptr);
  view.resize(1080, 300);
  view.show();
  view.Refresh();
  ui::qt::QtUi::ProcessEvents();
  auto* table = view.findChild<QTableWidget*>(QStringLiteral("signals"));
  ASSERT_NE(table, nullptr);
  EXPECT_FALSE(table->wordWrap()) << "a wrapped name shows its first line only";
  for (int r = 0; r < 2; ++r) {
    const QString name = table->item(r, 1)->text();
    const QString shown =
        table->fontMetrics().elidedText(name, table->textElideMode(), table->columnWidth(1) - 8);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("(CAN %1)").arg(r * 2))) << shown.toStdString();
    EXPECT_EQ(table->item(r, 1)->toolTip(), name);
  }
  EXPECT_EQ(table->item(2, 0)->checkState(), Qt::Checked);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(&view, testing_support::PngPath("signal_view_channels.png")));
}

TEST(MessageListView, ClickedTitlesSortAndTheSelectionFollowsItsMessage) {
  ScriptedModel model;
  // 0x100 every 10 ms with a counter, 0x7E8 every 100 ms with a speed that changes once.
  for (int tick = 0; tick < 200; ++tick) {
    const std::array<std::uint8_t, 8> counter = {static_cast<std::uint8_t>(tick)};
    model.tracker.Add(2, 0x100, 8, counter.data(), tick / 100.0);
    if (tick % 10 == 0) {
      const std::array<std::uint8_t, 8> answer = {3, 0x41, 0x0D,
                                                  static_cast<std::uint8_t>(tick < 150 ? 30 : 31)};
      model.tracker.Add(0, 0x7E8, 8, answer.data(), tick / 100.0);
    }
    if (tick % 10 == 9) model.tracker.Publish((tick + 1) / 100.0);
  }
  ui::qt::QtMessageListView view(model, nullptr);
  view.resize(1000, 260);
  view.show();
  view.Refresh();
  ui::qt::QtUi::ProcessEvents();
  const QTableView& table = *view.Table();
  ASSERT_EQ(table.model()->rowCount(), 2);
  EXPECT_EQ(Cell(table, 0, MessageListModel::kId), "100");
  ASSERT_TRUE(view.SelectRow(1));
  ASSERT_EQ(view.Signals()->rowCount(), 2);
  EXPECT_EQ(view.Signals()->item(1, 0)->text(), "VehicleSpeed");
  EXPECT_EQ(view.Signals()->item(1, 1)->text(), "31");

  // A click on "Count" orders by it; the selected answer moves to the top and stays selected.
  QHeaderView* header = table.horizontalHeader();
  const int x = header->sectionViewportPosition(MessageListModel::kCount) + 10;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  ui::qt::QtUi::ProcessEvents();
  EXPECT_EQ(Cell(table, 0, MessageListModel::kId), "7E8");
  ASSERT_EQ(table.selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(table.selectionModel()->selectedRows().front().row(), 0);
  EXPECT_EQ(Cell(table, 0, MessageListModel::kName), "OBD2_ECU1_Response");
  EXPECT_EQ(Cell(table, 0, MessageListModel::kRate), "10.0");

  // The tick beside a decoded signal charts it; one that cannot be charted is not left ticked.
  view.Signals()->item(1, 0)->setCheckState(Qt::Checked);
  EXPECT_EQ(model.charted, std::set<std::string>{"VehicleSpeed"});
  view.Signals()->item(0, 0)->setCheckState(Qt::Checked);
  EXPECT_EQ(view.Signals()->item(0, 0)->checkState(), Qt::Unchecked);
  view.Signals()->item(1, 0)->setCheckState(Qt::Unchecked);
  EXPECT_TRUE(model.charted.empty());
  EXPECT_TRUE(ui::qt::QtUi::SavePng(&view, testing_support::PngPath("message_list_view.png")));
}

TEST(MessageListView, ANewOrderKeepsWhereThePersonScrolledAndWhatTheySelected) {
  ScriptedModel model;
  const std::uint8_t byte[1] = {0};
  // 200 identifiers; the one with the most messages changes with every snapshot.
  const auto publish = [&](int round) {
    for (std::uint32_t id = 0; id < 200; ++id)
      for (std::uint32_t n = 0; n < (id * 7 + static_cast<std::uint32_t>(round) * 13) % 50; ++n)
        model.tracker.Add(1, 0x200 + id, 1, byte, round);
    model.tracker.Publish(round + 0.5);
  };
  publish(0);
  ui::qt::QtMessageListView view(model, nullptr);
  view.resize(900, 300);
  view.show();
  view.Refresh();
  QTableView& table = *view.Table();
  table.horizontalHeader()->setSortIndicator(MessageListModel::kCount, Qt::DescendingOrder);
  ui::qt::QtUi::ProcessEvents();
  table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum() / 2);
  const int scrolled = table.verticalScrollBar()->value();
  ASSERT_GT(scrolled, 0);
  ASSERT_TRUE(view.SelectRow(0));  // out of sight now
  const std::string selected = Cell(table, 0, MessageListModel::kId);
  table.verticalScrollBar()->setValue(scrolled);
  for (int round = 1; round < 4; ++round) {
    publish(round);
    view.Refresh();
    ui::qt::QtUi::ProcessEvents();
    EXPECT_EQ(table.verticalScrollBar()->value(), scrolled) << round;
    const QModelIndexList rows = table.selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1) << round;
    EXPECT_EQ(Cell(table, rows.front().row(), MessageListModel::kId), selected) << round;
  }
}

// A measurement of `seconds`: engine speed steps every second between 800 and 802.25 (in float,
// as the decoder delivers it), two speeds share km/h, one signal never gets a value and the
// vehicle speed stops after 40 s.
ui::SignalSnapshotPtr Drive(double seconds) {
  auto snapshot = std::make_shared<ui::SignalSnapshot>();
  snapshot->seconds = seconds;
  const auto add = [&](const char* name, const char* unit, double until, auto value) {
    ui::SignalRow row;
    row.series = {name, unit, {}};
    for (int t = 0; t <= static_cast<int>(std::min(seconds, until)); ++t)
      row.series.points.push_back({static_cast<double>(t), value(t)});
    row.hasValue = !row.series.points.empty();
    if (row.hasValue) row.value = row.series.points.back().value;
    snapshot->rows.push_back(row);
  };
  add("Engine speed", "1/min", 1e9, [](int t) { return t % 2 ? 802.25F : 800.0F; });
  add("Vehicle speed", "km/h", 40.0, [](int t) { return t * 1.5; });
  add("Wheel speed", "km/h", 1e9, [](int t) { return t * 1.5 + 1.0; });
  add("Oil pressure", "bar", -1.0, [](int) { return 0.0; });
  return snapshot;
}

void Wheel(QWidget& widget, QPoint at, int notches, Qt::KeyboardModifiers modifiers = {}) {
  QWheelEvent event(at, widget.mapToGlobal(at), {}, {0, notches * 120}, Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(&widget, &event);
}

TEST(ChartView, WheelDragCursorAndFollowingLiveAfterAReviewedRun) {
  ScriptedModel model;
  model.signals = Drive(60.0);
  ui::qt::QtSignalView view(model, nullptr);
  view.resize(1080, 520);
  view.show();
  for (const char* name : {"Engine speed", "Vehicle speed", "Wheel speed", "Oil pressure"})
    for (int r = 0; r < 4; ++r)
      if (auto* tick = view.findChild<QTableWidget*>(QStringLiteral("signals"))->item(r, 0);
          tick->data(Qt::UserRole).toString() == name)
        tick->setCheckState(Qt::Checked);
  view.Refresh();
  ui::qt::QtChartView& chart = view.chart();
  ui::ChartModel& model2 = chart.chart();
  ui::qt::QtUi::ProcessEvents();
  ASSERT_EQ(model2.Panels().size(), 2U) << "km/h together; no panel for a signal without values";
  // The table shows a value at the resolution its signal's values have, as the cursor does.
  EXPECT_EQ(view.findChild<QTableWidget*>(QStringLiteral("signals"))->item(0, 3)->text(),
            QStringLiteral("800.00"));
  auto* follow = view.findChild<QPushButton*>(QStringLiteral("follow"));
  EXPECT_FALSE(follow->isEnabled());
  // Two notches in at 20 s: the time under the mouse stays put, the range shrinks to 0.64.
  const QPoint at(chart.XOf(20.0), chart.height() / 3);
  Wheel(chart, at, 2);
  EXPECT_FALSE(model2.following());
  EXPECT_NEAR(model2.t1() - model2.t0(), 30.0 * 0.64, 1e-9);
  chart.repaint();
  EXPECT_NEAR(chart.XOf(20.0), at.x(), 1);
  // A drag to the right shows earlier times.
  const double before = model2.t0();
  QTest::mousePress(&chart, Qt::LeftButton, {}, at);
  QTest::mouseMove(&chart, at + QPoint(100, 0));
  QTest::mouseRelease(&chart, Qt::LeftButton, {}, at + QPoint(100, 0));
  EXPECT_LT(model2.t0(), before);
  // The cursor reads each signal at its resolution; after 40 s the vehicle speed is stale.
  model2.SetTimeRange(30.0, 50.0);
  chart.SetCursorTime(45.5);
  const auto readings = model2.ReadAt(45.5);
  ASSERT_EQ(readings.size(), 4U);
  EXPECT_EQ(readings[0].text, "802.25 1/min");
  EXPECT_EQ(readings[1].text, "60.0 km/h");
  EXPECT_TRUE(readings[1].stale);
  EXPECT_FALSE(readings[2].stale);
  view.Refresh();
  ui::qt::QtUi::ProcessEvents();
  EXPECT_TRUE(follow->isEnabled());
  EXPECT_TRUE(ui::qt::QtUi::SavePng(&view, testing_support::PngPath("chart_zoomed_cursor.png")));
  // Written as shown: the picture and the visible data.
  const std::string csv = testing_support::PngPath("chart_visible.csv");
  std::string error;
  ASSERT_TRUE(chart.WriteCsv(csv, error)) << error;
  std::ifstream in(csv);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "time (s),signal,value,unit");
  ASSERT_TRUE(chart.WritePng(testing_support::PngPath("chart_export.png"), error)) << error;
  QTest::mouseDClick(&chart, Qt::LeftButton, {}, at);
  EXPECT_TRUE(model2.following());
}

TEST(MainWindow, TheTickedSignalsTabAndLayoutComeBackInTheNextRun) {
  testing_support::TempDir dir;
  host::SetSettingsFolder(dir.path());
  ScriptedModel model;
  model.signals = Drive(10.0);
  ui::WindowState state;
  state.geometry = {10, 20, 1000, 700};
  state.chartSplit = {300, 690};
  state.tab = "Messages";
  state.charted = {"Wheel speed", "Engine speed"};
  state.messages = {{0, 0x7E8, "VehicleSpeed"}, {0, 0x7E8, "Service"}};  // the model refuses one
  std::string error;
  ASSERT_TRUE(state.Save(dir.path(), error)) << error;
  EXPECT_EQ(ui::qt::RunMainWindow(model, "quit"), 0);
  EXPECT_EQ(model.charted, std::set<std::string>{"VehicleSpeed"});
  ui::WindowState after;
  ASSERT_TRUE(ui::WindowState::Load(dir.path(), after, error)) << error;
  EXPECT_EQ(after.charted, state.charted) << "in the order ticked, not the table's";
  EXPECT_EQ(after.tab, "Messages");
  EXPECT_EQ(after.geometry, state.geometry);
  ASSERT_EQ(after.chartSplit.size(), 2U);
  EXPECT_LT(after.chartSplit[0], after.chartSplit[1]);
  ASSERT_EQ(after.messages.size(), 1U);
  EXPECT_EQ(after.messages[0].signal, "VehicleSpeed");
}

}  // namespace
