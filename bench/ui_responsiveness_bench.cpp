// Responsiveness of canhost ui in real time: sixteen busy channels, first without windows, then with
// every dialog open (offscreen), the message list showing every identifier and a chart of four DBC
// signals while a person works the windows and the UI thread once blocks for a second. Figures
// (counters): frames, messages received, what was lost (old, no room, future, overflow) and its
// share in percent, the redraw rate of the standard source views the person leaves alone (least
// and mean), of the message list (list_redraws/s, with the identifiers it shows) and of the chart
// (chart_redraws/s, with the signals it charts that have values), the frames run while the UI thread was blocked,
// and how long the UI thread waited in Stop (stop_ms; a frame is 100 ms).
// CANHOST_UI_SECONDS sets the length of each phase (default 8); CANHOST_UI_CHART=0 leaves the chart
// out:
//   CANHOST_UI_SECONDS=8 build/release/bin/ui_responsiveness_bench
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/CanSourceHost.h"
#include "app/UiSession.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/qt/QtChartView.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtMessageListView.h"
#include "host/ui/qt/QtSignalView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/soak/BusyBuses.h"
#include "tests/support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using ui::qt::QtDialogView;

constexpr int kSettingsColumn = 7;  // the CAN-Bus table's link to a source's dialog
constexpr int kStallMs = 1000;

int PhaseMs() {
  const char* text = std::getenv("CANHOST_UI_SECONDS");
  const double seconds = text ? std::atof(text) : 8.0;
  return static_cast<int>((seconds >= 2.0 ? seconds : 8.0) * 1000);
}

// Runs the UI thread's event loop for `ms` of real time: the measurement runs on meanwhile.
void RunUiFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// Channel 0's generated counter 0x100 decoded with a DBC file of its own: the signals charted.
constexpr std::array<const char*, 4> kCharted = {"Counter", "Low", "Half", "Quarter"};
void DecodeChannel0(const std::filesystem::path& settings) {
  testing_support::WriteFile(settings / "busy.dbc",
                             "VERSION \"\"\nBU_: Bench\nBO_ 256 Busy0: 8 Bench\n"
                             " SG_ Counter : 0|32@1+ (1,0) [0|4294967295] \"\" Bench\n"
                             " SG_ Low : 0|8@1+ (1,0) [0|255] \"\" Bench\n"
                             " SG_ Half : 8|8@1+ (0.5,0) [0|127.5] \"V\" Bench\n"
                             " SG_ Quarter : 16|16@1+ (0.25,0) [0|16383.75] \"V\" Bench\n");
  std::filesystem::create_directories(settings / "decoders");
  testing_support::WriteFile(settings / "decoders" / "DBC Decoder.txt",
                             "file = " + (settings / "busy.dbc").string() + "\n");
  std::ofstream(settings / "Application.sea", std::ios::app)
      << "list \"CCanSink-Busses\"\nline \"0\", \"CCanDbcDecoder\"\n";
}

// The session both phases measure, on sixteen busy buses; `error` says why there is none.
struct Rig {
  std::optional<testing_support::TempDir> dir;
  std::unique_ptr<app::UiSession> session;
  std::string error;

  Rig() {
    try {
      dir.emplace();
      testing_support::WriteBusySettings(*dir / "settings");
      DecodeChannel0(*dir / "settings");
      host::SetSettingsFolder(*dir / "settings");
      if (!app::CanSourceHost::SettingsLoad(error)) return;
      auto created = std::make_unique<app::UiSession>(0.001, 100);
      if (created->Create("", error)) session = std::move(created);
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
};
Rig* g_rig = nullptr;

// What became of the messages of every channel together since the start, as counters.
void CountMessages(benchmark::State& state, const ui::MeasurementSnapshot& s) {
  ui::ChannelRow all;
  for (const ui::ChannelRow& r : s.rows)
    all += r;
  const auto lost = all.old + all.noRoom + all.future + all.overflow;
  state.counters["frames"] = static_cast<double>(s.frames);
  state.counters["messages"] = static_cast<double>(all.received);
  state.counters["lost_old"] = static_cast<double>(all.old);
  state.counters["lost_no_room"] = static_cast<double>(all.noRoom);
  state.counters["lost_future"] = static_cast<double>(all.future);
  state.counters["lost_overflow"] = static_cast<double>(all.overflow);
  state.counters["lost_%"] = 100.0 * static_cast<double>(lost) /
                             static_cast<double>(std::max<decltype(lost)>(all.received, 1));
}

std::vector<QtDialogView*> Views(const QString& name) {
  std::vector<QtDialogView*> views;
  for (QtDialogView* v : QtDialogView::Open())
    if (v->Widget()->objectName() == name) views.push_back(v);
  return views;
}

QTableView* BusTable() {
  const auto bus = Views("dialog1000");
  return bus.size() == 1 ? bus[0]->Widget()->findChild<QTableView*>(QStringLiteral("1001"))
                         : nullptr;
}

// A person clicks the cell of the CAN-Bus table.
void ClickCell(QTableView& table, int row, int column) {
  const QModelIndex index = table.model()->index(row, column);
  table.scrollTo(index);
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(index).center());
}

// Opens the CAN-Bus dialog, the sink's dialog, and every source's dialog through its link; false
// when the CAN-Bus dialog shows no table.
bool OpenEveryDialog(app::UiSession& session) {
  session.ShowSettings(0);
  session.ShowSettings(1);
  ui::qt::QtUi::ProcessEvents();
  QTableView* table = BusTable();
  if (!table) return false;
  for (int row = 0; row < table->model()->rowCount(); ++row)
    ClickCell(*table, row, kSettingsColumn);
  ui::qt::QtUi::ProcessEvents();
  return true;
}

// What a person does every 50 ms while the measurement runs, in turn: raises a source's dialog
// through its link, resizes the first source's window, selects all ranges of the second, grabs a
// picture of the CAN-Bus window. The views touched are the first two.
class Person {
 public:
  Person(std::vector<QtDialogView*> sources, QTableView* busTable)
      : m_sources(std::move(sources)), m_table(busTable) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Act(); });
    m_timer.start(50);
  }
  static constexpr std::size_t kViewsTouched = 2;
  int actions = 0;

 private:
  void Act() {
    QWidget* first = m_sources[0]->Widget();
    switch (actions++ % 4) {
      case 0:
        ClickCell(*m_table, actions % m_table->model()->rowCount(), kSettingsColumn);
        break;
      case 1:
        first->resize(first->width() + (actions % 8 < 4 ? 20 : -20), first->height());
        break;
      case 2:
        QTest::keyClick(m_sources[1]->Widget()->findChild<QTableView*>(QStringLiteral("2018")),
                        Qt::Key_A, Qt::ControlModifier);
        break;
      default:
        m_table->window()->grab();
    }
  }
  std::vector<QtDialogView*> m_sources;
  QTableView* m_table;
  QTimer m_timer;
};

// Stops the measurement and gives the time the UI thread waited for it, ms.
double TimedStop(app::UiSession& session) {
  const auto start = Clock::now();
  session.Stop();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void WithoutWindows(benchmark::State& state) {
  if (!g_rig->session) return state.SkipWithError(g_rig->error.c_str());
  app::UiSession& session = *g_rig->session;
  const int phaseMs = PhaseMs();
  for (auto _ : state) {
    std::string error;
    // The module's counts start at zero with each measurement.
    if (!session.Start(error)) return state.SkipWithError(error.c_str());
    RunUiFor(phaseMs);
    state.counters["stop_ms"] = TimedStop(session);
  }
  CountMessages(state, session.Snapshot());
}

// The redraw rates of the source views the person leaves alone while working for `ms`.
std::vector<double> RedrawsWhileAPersonWorks(const std::vector<QtDialogView*>& sources, int ms,
                                             benchmark::State& state) {
  std::vector<int> redraws0(sources.size());
  std::transform(sources.begin(), sources.end(), redraws0.begin(),
                 [](const QtDialogView* v) { return v->Redraws(); });
  const auto start = Clock::now();
  {
    Person person(sources, BusTable());
    RunUiFor(ms);
    state.counters["actions"] = person.actions;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> rates;
  for (std::size_t i = Person::kViewsTouched; i < sources.size(); ++i)
    rates.push_back((sources[i]->Redraws() - redraws0[i]) / seconds);
  return rates;
}

void EveryWindowOpen(benchmark::State& state) {
  if (!g_rig->session) return state.SkipWithError(g_rig->error.c_str());
  app::UiSession& session = *g_rig->session;
  if (!OpenEveryDialog(session)) return state.SkipWithError("the CAN-Bus dialog shows no table");
  const auto sources = Views("dialog2002");
  if (sources.size() != static_cast<std::size_t>(testing_support::kBusyChannels))
    return state.SkipWithError("not every standard source's dialog opened");
  state.counters["windows"] = static_cast<double>(QtDialogView::Open().size());
  // The message list, tall enough to show every identifier of the sixteen buses.
  ui::qt::QtMessageListView list(session, nullptr);
  list.resize(1000, 80 + testing_support::kIdsPerGenerator * testing_support::kBusyChannels *
                             (list.fontMetrics().height() + 6));
  list.show();
  // Beside it the chart of four DBC signals of channel 0 (CANHOST_UI_CHART=0: none, to tell what
  // charting costs).
  ui::qt::QtSignalView signalView(session, nullptr);
  const char* chartSetting = std::getenv("CANHOST_UI_CHART");
  const bool charting = chartSetting == nullptr || std::string(chartSetting) != "0";
  signalView.resize(1000, 400);
  signalView.setVisible(charting);
  for (const char* name : kCharted)
    if (charting && !session.ChartSignal(0, 0x100, name, true))
      return state.SkipWithError("channel 0's DBC file does not chart the counter");
  const int phaseMs = PhaseMs();
  for (auto _ : state) {
    std::string error;
    if (!session.Start(error)) return state.SkipWithError(error.c_str());
    RunUiFor(1000);  // the first refreshes come after the counts pass the quiet bound
    const int listRedraws0 = list.Redraws();
    const int chartRedraws0 = signalView.chart().Redraws();
    const auto listStart = Clock::now();
    const std::vector<double> rates = RedrawsWhileAPersonWorks(sources, phaseMs, state);
    state.counters["list_redraws/s"] =
        (list.Redraws() - listRedraws0) /
        std::chrono::duration<double>(Clock::now() - listStart).count();
    state.counters["list_rows"] = list.Table()->model()->rowCount();
    state.counters["chart_redraws/s"] =
        (signalView.chart().Redraws() - chartRedraws0) /
        std::chrono::duration<double>(Clock::now() - listStart).count();
    const ui::ChartModel& chart = signalView.chart().chart();
    const auto readings = chart.ReadAt(chart.now());
    state.counters["chart_signals"] = static_cast<double>(
        std::count_if(readings.begin(), readings.end(), [](const auto& r) { return r.hasValue; }));
    state.counters["redraws_min/s"] = *std::min_element(rates.begin(), rates.end());
    double mean = 0;
    for (double r : rates)
      mean += r / static_cast<double>(rates.size());
    state.counters["redraws_mean/s"] = mean;
    // The UI thread blocked for a second, as by a slow file system under a file dialog: the
    // frames (due every 100 ms) should go on.
    const std::uint64_t stall0 = session.Snapshot().frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStallMs));
    state.counters["stall_frames"] = static_cast<double>(session.Snapshot().frames - stall0);
    RunUiFor(1000);
    state.counters["stop_ms"] = TimedStop(session);
  }
  CountMessages(state, session.Snapshot());
}

BENCHMARK(WithoutWindows)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(EveryWindowOpen)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// The offscreen platform cannot raise windows, and says so at each raise.
QtMessageHandler g_qtMessages = nullptr;
void QuietAboutRaise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (g_qtMessages && !message.contains(QStringLiteral("does not support raise()")))
    g_qtMessages(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  using namespace testing_support;
  benchmark::AddCustomContext(
      "buses", std::to_string(kBusyChannels) + " virtual, each " +
                   std::to_string(static_cast<int>(kBusLoad * 100)) + " % busy at " +
                   std::to_string(static_cast<int>(kBusyBitRate / 1000)) + " kbit/s");
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // NOLINT(concurrency-mt-unsafe): no thread yet
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};  // Qt keeps them for the application's lifetime
  ui::qt::QtUi qt(qtArgc, qtArgv);
  g_qtMessages = qInstallMessageHandler(QuietAboutRaise);
  {
    Rig rig;
    g_rig = &rig;
    benchmark::RunSpecifiedBenchmarks();
    g_rig = nullptr;
  }
  qInstallMessageHandler(g_qtMessages);
  benchmark::Shutdown();
  return 0;
}
