// The default measurement end to end: the sequencer on channel 0 polls the simulated vehicle on
// channel 1; the frame-aligned capture, decoded with the OBD-II DBC, follows the drive cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "host/cananalysis/ObdDriveCycle.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RunProgram;

// canhost run --fast starts its manual clock at 1 s and the measurement with it.
constexpr double kMeasurementStartSeconds = 1.0;
// Tolerance on the time line: one answer's latency and the time alignment of the channel clocks.
constexpr std::int64_t kSlackNs = 2'000'000;

// Whether `value` is a value the cycle takes (after `scale`) within the slack around `ns`.
template <typename Scale>
bool ValueNear(double value, std::int64_t ns, Scale scale) {
  double low = 1e300, high = -1e300;
  for (std::int64_t t = ns - kSlackNs; t <= ns + kSlackNs; t += 125'000) {
    const double v = scale(XeCanAnalysis::DriveCycle(t));
    low = std::min(low, v);
    high = std::max(high, v);
  }
  return value >= low - 1e-9 && value <= high + 1e-9;
}

TEST(ObdDemo, FastRunOfTheDefaultFollowsTheDriveCycle) {
  testing_support::TempDir dir;
  const auto capture = dir / "capture.log";
  const auto run =
      RunProgram("canhost", {"run", "--fast", "--seconds", "40", "--quiet", "--settings",
                             (dir / "s").string(), "--capture", capture.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto dbc = testing_support::SourceDir() / "data" / "obd2.dbc";
  const auto decoded =
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc.string(), capture.string()});
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;

  int rpm = 0, speed = 0, coolant = 0;
  double lastTime = -1;
  for (const auto& cells : testing_support::CsvRows(decoded.out)) {
    const std::string row = cells.empty() ? "" : cells[0] + " " + cells.back();
    ASSERT_EQ(cells.size(), 6u) << row;
    const double seconds = std::stod(cells[0]);
    const double value = std::stod(cells[5]);
    const auto ns = std::llround((seconds + kMeasurementStartSeconds) * 1e9);
    EXPECT_EQ(cells[1], "can0") << row;
    EXPECT_GE(seconds, lastTime) << row;
    lastTime = seconds;
    if (cells[4] == "EngineSpeed") {
      ++rpm;
      EXPECT_TRUE(ValueNear(value, ns, [](const auto& s) {
        return std::round(s.engineRpm * 4) / 4;
      })) << row;
    } else if (cells[4] == "VehicleSpeed") {
      ++speed;
      EXPECT_TRUE(ValueNear(value, ns, [](const auto& s) { return std::round(s.speedKmh); }))
          << row;
    } else if (cells[4] == "CoolantTemperature") {
      ++coolant;
      EXPECT_TRUE(ValueNear(value, ns, [](const auto& s) { return std::round(s.coolantC); }))
          << row;
    }
  }
  // One request every 10 ms, in turn: each value about every 30 ms over 40 s.
  EXPECT_GE(rpm, 1300);
  EXPECT_GE(speed, 1300);
  EXPECT_GE(coolant, 1300);
}

// The same measurement through the sink: the decoded signals of --signals follow the drive cycle
// on the frame time line (engine speed a rate per minute from its pulse list).
TEST(ObdDemo, SignalsOfTheDefaultFollowTheDriveCycle) {
  testing_support::TempDir dir;
  const auto csv = dir / "signals.csv";
  const auto run =
      RunProgram("canhost", {"run", "--fast", "--seconds", "60", "--quiet", "--settings",
                             (dir / "s").string(), "--signals", csv.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::map<std::string, int> counts;
  for (const auto& cells : testing_support::CsvRows(testing_support::ReadFile(csv))) {
    ASSERT_EQ(cells.size(), 4u);
    if (cells[0] == "time") continue;
    const std::string row = cells[0] + " " + cells[1] + " " + cells[2];
    const double seconds = std::stod(cells[0]);
    const double value = std::stod(cells[2]);
    const auto ns = std::llround((seconds + kMeasurementStartSeconds) * 1e9);
    ++counts[cells[1]];
    if (cells[1] == "Engine speed") {
      EXPECT_EQ(cells[3], "1/min");
      // The pulse list keeps a period as float: the rate comes back to within a thousandth.
      EXPECT_TRUE(
          ValueNear(value * 1.001, ns, [](const auto& s) { return s.engineRpm; }) ||
          ValueNear(value * 0.999, ns, [](const auto& s) { return s.engineRpm; }) ||
          ValueNear(value, ns, [](const auto& s) { return std::round(s.engineRpm * 4) / 4; }))
          << row;
    } else if (cells[1] == "Vehicle speed") {
      EXPECT_TRUE(ValueNear(value, ns, [](const auto& s) { return std::round(s.speedKmh); }))
          << row;
    } else if (cells[1] == "Coolant temperature") {
      EXPECT_TRUE(ValueNear(value, ns, [](const auto& s) { return std::round(s.coolantC); }))
          << row;
    }
  }
  // Each value about every 30 ms over 60 s, less what falls on a frame's first slow sample.
  EXPECT_GE(counts["Engine speed"], 1700);
  EXPECT_GE(counts["Vehicle speed"], 1700);
  EXPECT_GE(counts["Coolant temperature"], 1700);
}

}  // namespace
