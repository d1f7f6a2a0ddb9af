// The default measurement end to end: the sequencer on channel 0 polls the simulated vehicle on
// channel 1; the frame-aligned capture, decoded with the OBD-II DBC, follows the drive cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "host/obd/ObdDriveCycle.h"
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

// Whether `value` of the signal at `seconds` of the measurement is one the drive cycle takes,
// whether named as in the DBC file or as the host's application signal. Engine speed reaches the
// sink as a rate per minute from its pulse list, which keeps a period as float: to a thousandth.
bool FollowsTheCycle(const std::string& signal, double seconds, double value) {
  const auto ns = std::llround((seconds + kMeasurementStartSeconds) * 1e9);
  const auto rpm = [](const auto& s) { return std::round(s.engineRpm * 4) / 4; };
  if (signal == "EngineSpeed") return ValueNear(value, ns, rpm);
  if (signal == "Engine speed") {
    const auto exact = [](const auto& s) { return s.engineRpm; };
    return ValueNear(value, ns, rpm) || ValueNear(value * 1.001, ns, exact) ||
           ValueNear(value * 0.999, ns, exact);
  }
  if (signal == "VehicleSpeed" || signal == "Vehicle speed")
    return ValueNear(value, ns, [](const auto& s) { return std::round(s.speedKmh); });
  if (signal == "CoolantTemperature" || signal == "Coolant temperature")
    return ValueNear(value, ns, [](const auto& s) { return std::round(s.coolantC); });
  return true;
}

// One fast run of the default measurement, seen twice: its frame-aligned capture decoded with the
// OBD-II DBC, and the signals the sink decoded (--signals), both on the frame time line.
TEST(ObdDemo, FastRunOfTheDefaultFollowsTheDriveCycle) {
  testing_support::TempDir dir;
  const auto capture = dir / "capture.log";
  const auto csv = dir / "signals.csv";
  const auto run = RunProgram(
      "canhost", {"run", "--fast", "--seconds", "60", "--quiet", "--settings", (dir / "s").string(),
                  "--capture", capture.string(), "--signals", csv.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto dbc = testing_support::SourceDir() / "data" / "obd2.dbc";
  const auto decoded =
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc.string(), capture.string()});
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;

  std::map<std::string, int> counts;
  double lastTime = -1;
  for (const auto& cells : testing_support::CsvRows(decoded.out)) {
    // time,channel,id,message,signal,value
    ASSERT_EQ(cells.size(), 6u) << (cells.empty() ? "" : cells[0]);
    const double seconds = std::stod(cells[0]);
    EXPECT_EQ(cells[1], "can0") << cells[0];
    EXPECT_GE(seconds, lastTime) << cells[0];
    lastTime = seconds;
    ++counts[cells[4]];
    EXPECT_TRUE(FollowsTheCycle(cells[4], seconds, std::stod(cells[5])))
        << cells[0] << " " << cells[4] << " " << cells[5];
  }
  for (const auto& values : testing_support::CsvRows(testing_support::ReadFile(csv))) {
    // time,signal,value,unit
    ASSERT_EQ(values.size(), 4u);
    ++counts[values[1]];
    if (values[1] == "Engine speed") {
      EXPECT_EQ(values[3], "1/min");
    }
    EXPECT_TRUE(FollowsTheCycle(values[1], std::stod(values[0]), std::stod(values[2])))
        << values[0] << " " << values[1] << " " << values[2];
  }
  // One request every 9 ms, five in turn: each value every 45 ms, 1333 times in 60 s; the sink
  // leaves out what falls on a frame's first slow sample.
  for (const char* signal : {"EngineSpeed", "VehicleSpeed", "CoolantTemperature",
                             "ThrottlePosition", "AmbientAirTemperature"})
    EXPECT_GE(counts[signal], 1300) << signal;
  for (const char* signal : {"Engine speed", "Vehicle speed", "Coolant temperature",
                             "Throttle position", "Ambient temperature"})
    EXPECT_GE(counts[signal], 1150) << signal;
}

}  // namespace
