// canhost ui end to end in a real X server (xvfb-run): the main window opens, the CAN-Bus dialog
// opens from it, Apply is pressed, the sink's CAN Decoding dialog opens, pictures of the windows
// are written, and closing the window saves the settings; a real trace opened with its DBC file
// (File > Open log) is measured, decoded and found again by the next session. Skipped where
// xvfb-run is not installed (label "xvfb"), the real trace where ../shared is missing.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace {

std::filesystem::path FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
    if (!dirs.substr(start, end - start).empty() && std::filesystem::exists(candidate))
      return candidate;
    start = end + 1;
  }
  return {};
}

// Runs `canhost ui` in a fresh X server with the actions; its exit code, -1 where it failed to start.
int RunUi(const std::filesystem::path& xvfb, const std::filesystem::path& settings,
          const std::string& actions) {
  const std::string canhost = (testing_support::BinDir() / "canhost").string();
  std::vector<std::string> args = {xvfb.string(),     "-a",        canhost, "ui", "--settings",
                                   settings.string(), "--actions", actions};
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return testing_support::ExitCodeOf(status);
}

// Where the pictures of `name` go; earlier pictures of that name are removed.
std::string ShotPrefix(const std::string& name) {
  const auto shots = testing_support::BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(shots);
  for (const char* suffix : {"-main.png", "-dialog1000.png", "-dialog2000.png"})
    std::filesystem::remove((shots / name).string() + suffix);
  return (shots / name).string();
}

}  // namespace

TEST(CanhostUi, OpensTheCanBusDialogAppliesAndSavesUnderXvfb) {
  const auto xvfb = FindInPath("xvfb-run");
  if (xvfb.empty()) GTEST_SKIP() << "xvfb-run is not installed (package xvfb)";
  testing_support::TempDir settings;
  const std::string prefix = ShotPrefix("canhost_ui");
  EXPECT_EQ(
      RunUi(xvfb, settings.path(), "settings 0; click 2005; settings 1; shot " + prefix + "; quit"),
      0);
  EXPECT_GT(std::filesystem::file_size(prefix + "-main.png"), 1000u);
  EXPECT_GT(std::filesystem::file_size(prefix + "-dialog1000.png"), 1000u);
  EXPECT_GT(std::filesystem::file_size(prefix + "-dialog2000.png"), 1000u);
  // Closing saved the settings: the sources that Apply kept are in the application sea.
  const std::string sea = testing_support::ReadFile(settings / "Application.sea");
  EXPECT_NE(sea.find("CAN-Sources"), std::string::npos);
  EXPECT_NE(sea.find("CanSource-Params"), std::string::npos);
  // The sink read its decoder choices before it wrote them back: channel 0 keeps its DBC decoder.
  EXPECT_NE(sea.find("CCanDbcDecoder"), std::string::npos);
}

// The engine speed row of a signal table written by the "signals" action: its cells.
std::vector<std::string> EngineSpeedRow(const std::filesystem::path& table) {
  std::istringstream lines(testing_support::ReadFile(table));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Engine speed\t", 0) != 0) continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      cells.push_back(cell);
    return cells;
  }
  return {};
}

TEST(CanhostUi, TheSignalTableFollowsTheDefaultMeasurementUnderXvfb) {
  const auto xvfb = FindInPath("xvfb-run");
  if (xvfb.empty()) GTEST_SKIP() << "xvfb-run is not installed (package xvfb)";
  testing_support::TempDir settings;
  const std::string prefix = ShotPrefix("canhost_ui_signals");
  // The simulated car idles for the first 10 s of the host clock, then accelerates.
  const auto idle = settings / "idle.txt";
  const auto moving = settings / "moving.txt";
  EXPECT_EQ(RunUi(xvfb, settings / "s",
                  "start; wait 1; signals " + idle.string() + "; wait 12; signals " +
                      moving.string() + "; shot " + prefix + "; quit"),
            0);
  const auto before = EngineSpeedRow(idle);
  const auto after = EngineSpeedRow(moving);
  // Signal, unit, value, time of the value, time-out state.
  ASSERT_EQ(before.size(), 5u) << testing_support::ReadFile(idle);
  ASSERT_EQ(after.size(), 5u) << testing_support::ReadFile(moving);
  EXPECT_EQ(before[1], "1/min");
  EXPECT_EQ(before[4], "ok");
  EXPECT_EQ(after[4], "ok");
  EXPECT_GT(std::stod(after[3]), std::stod(before[3]));
  EXPECT_NE(after[2], before[2]);
  EXPECT_GT(std::stod(after[2]), 800.0);
  EXPECT_GT(std::filesystem::file_size(prefix + "-main.png"), 1000u);
}

// The signal table's rows (name, then the cells) of a file the "signals" action wrote.
std::vector<std::vector<std::string>> SignalRows(const std::filesystem::path& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(testing_support::ReadFile(table));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      cells.push_back(cell);
    rows.push_back(std::move(cells));
  }
  return rows;
}

// The names of the signals that have a value.
std::vector<std::string> WithValues(const std::filesystem::path& table) {
  std::vector<std::string> names;
  for (const auto& row : SignalRows(table))
    if (row.size() == 5 && row[2] != "-") names.push_back(row[0]);
  return names;
}

// File > Open log with a real trace and its DBC file: the log's signals come out of a real-time
// measurement, and a second canhost ui on the same settings finds the same measurement.
TEST(CanhostUi, AnOpenedRealLogIsDecodedAndKeptForTheNextSessionUnderXvfb) {
  const auto xvfb = FindInPath("xvfb-run");
  if (xvfb.empty()) GTEST_SKIP() << "xvfb-run is not installed (package xvfb)";
  SKIP_WITHOUT_SHARED("realdata");
  const auto real = testing_support::SharedDir() / "realdata";
  const auto log = real / "traces/kuksa_tesla_m3_dogmode.log";
  const auto dbc = real / "dbc/kuksa_Model3CAN.dbc";
  testing_support::TempDir dir;
  const auto settings = dir / "settings";
  const std::string first = ShotPrefix("canhost_ui_open_log");
  EXPECT_EQ(RunUi(xvfb, settings,
                  "open " + log.string() + " " + dbc.string() + "; start; wait 4; signals " +
                      (dir / "first.txt").string() + "; shot " + first + "; quit"),
            0);
  const std::string conf = testing_support::ReadFile(settings / "candriver.conf");
  EXPECT_NE(conf.find("channel 4 replay file=" + log.string() + "\n"), std::string::npos) << conf;
  const std::string sea = testing_support::ReadFile(settings / "Application.sea");
  EXPECT_NE(sea.find("\"kuksa_tesla_m3_dogmode.log\", \"1\", \"4\""), std::string::npos);
  EXPECT_NE(
      testing_support::ReadFile(settings / "decoders/CCanDbcDecoder_4.txt").find("signals = all"),
      std::string::npos);
  // The DBC file's signals are listed, named as in the file, and the log's frames gave values.
  const auto rows = SignalRows(dir / "first.txt");
  EXPECT_GT(rows.size(), 1000u);
  const auto valued = WithValues(dir / "first.txt");
  EXPECT_GE(valued.size(), 10u);
  EXPECT_NE(std::find(valued.begin(), valued.end(), "DI_gear"), valued.end());
  EXPECT_GT(std::filesystem::file_size(first + "-main.png"), 1000u);

  // Reopened: the same channel, source and decoder, and the same signals come out.
  const std::string second = ShotPrefix("canhost_ui_open_log_again");
  EXPECT_EQ(RunUi(xvfb, settings,
                  "start; wait 4; signals " + (dir / "second.txt").string() + "; shot " + second +
                      "; quit"),
            0);
  EXPECT_EQ(testing_support::ReadFile(settings / "candriver.conf"), conf);
  const auto again = WithValues(dir / "second.txt");
  EXPECT_GE(again.size(), 10u);
  EXPECT_NE(std::find(again.begin(), again.end(), "DI_gear"), again.end());
}

// The value of `signal` in a readout written by the "readout" action; "" when it has no line.
std::string ReadoutOf(const std::filesystem::path& readout, const std::string& signal) {
  std::istringstream lines(testing_support::ReadFile(readout));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(signal + "\t", 0) == 0) return line.substr(signal.size() + 1);
  return {};
}

// The OBD-II response's Service field is carried by no application signal: ticked in the message
// list it is charted, read under the cursor while measuring, and read again after Stop in a
// stretch of the past the chart zooms into.
TEST(CanhostUi, ADbcSignalIsChartedReadUnderTheCursorAndReviewedAfterStopUnderXvfb) {
  const auto xvfb = FindInPath("xvfb-run");
  if (xvfb.empty()) GTEST_SKIP() << "xvfb-run is not installed (package xvfb)";
  testing_support::TempDir settings;
  const std::string prefix = ShotPrefix("canhost_ui_chart_review");
  const auto live = settings / "live.txt";
  const auto review = settings / "review.txt";
  const auto csv = settings / "review.csv";
  EXPECT_EQ(RunUi(xvfb, settings / "s",
                  "start; wait 1.5; messages 7E8; select 0; chart Service; wait 3; cursor 4.5; "
                  "readout " +
                      live.string() + "; stop; zoom 3 5; cursor 4; readout " + review.string() +
                      "; export " + csv.string() + "; shot " + prefix + "; quit"),
            0);
  EXPECT_EQ(ReadoutOf(live, "Service"), "65") << testing_support::ReadFile(live);
  EXPECT_EQ(ReadoutOf(review, "Service"), "65") << testing_support::ReadFile(review);
  // The application signals are read at the same time, each at its resolution and with its unit.
  const std::string speed = ReadoutOf(review, "Engine speed");
  ASSERT_FALSE(speed.empty()) << testing_support::ReadFile(review);
  EXPECT_NE(speed.find(" 1/min"), std::string::npos) << speed;
  EXPECT_EQ(speed.find("stale"), std::string::npos) << speed;
  // The data shown, from 3 s to 5 s and the value in force at 3 s: no time beyond.
  std::istringstream rows(testing_support::ReadFile(csv));
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row, "time (s),signal,value,unit");
  int services = 0;
  while (std::getline(rows, row)) {
    EXPECT_LE(std::stod(row), 5.0) << row;
    services += row.find(",Service,65,") != std::string::npos ? 1 : 0;
  }
  EXPECT_GT(services, 5);
  EXPECT_GT(std::filesystem::file_size(prefix + "-main.png"), 1000u);
  // The window remembers the charted signal for the next run.
  EXPECT_NE(testing_support::ReadFile(settings / "s" / "window.sea").find("\"Service\""),
            std::string::npos);
}
