// The OBD-II DBC against the simulator: a capture of the sequencer polling every parameter of the
// simulated ECU, decoded by `canhost dbc decode`, gives the drive cycle's values.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>

#include "host/candriver/CandumpFormat.h"
#include "host/obd/AnalysisTimer.h"
#include "host/obd/CCanSequencer.h"
#include "host/obd/COBDVehicleSimulator.h"
#include "host/obd/ObdDriveCycle.h"
#include "tests/host/DriverFixture.h"
#include "tests/support/RunProgram.h"

namespace driver_test {
namespace {

using XeCanAnalysis::DriveState;

constexpr std::int64_t kMs = 1'000'000;

// candump -L: "(seconds) can0 7E8#04410C1900AAAAAA"
std::string CandumpLine(const CanMessage& m) {
  std::array<char, XeCanDriverKvaser::kCandumpLineCapacity> line;
  const std::int64_t timeNs = std::int64_t{m.timestamp} * 125'000;
  return {line.data(), XeCanDriverKvaser::FormatCandump(line, timeNs, "can0", m)};
}

double Scaled(double value, double factor, double offset) {
  return std::round((value - offset) / factor) * factor + offset;
}

// What each signal of the DBC must decode to, from the vehicle state.
const std::map<std::string, std::function<double(const DriveState&)>> kExpected = {
    {"EngineSpeed", [](const DriveState& s) { return Scaled(s.engineRpm, 0.25, 0); }},
    {"VehicleSpeed", [](const DriveState& s) { return Scaled(s.speedKmh, 1, 0); }},
    {"CoolantTemperature", [](const DriveState& s) { return Scaled(s.coolantC, 1, -40); }},
    {"EngineLoad", [](const DriveState& s) { return Scaled(s.loadPercent, 100.0 / 255, 0); }},
    {"ThrottlePosition",
     [](const DriveState& s) { return Scaled(s.throttlePercent, 100.0 / 255, 0); }},
    {"IntakeAirTemperature", [](const DriveState& s) { return Scaled(s.intakeAirC, 1, -40); }},
    {"FuelTankLevel", [](const DriveState& s) { return Scaled(s.fuelPercent, 100.0 / 255, 0); }},
    {"AmbientAirTemperature", [](const DriveState& s) { return Scaled(s.ambientC, 1, -40); }},
};

using ObdDecode = DriverFixture;

TEST_F(ObdDecode, CaptureOfTheSimulatorDecodesToTheDriveCycle) {
  const auto dbc = testing_support::SourceDir() / "data" / "obd2.dbc";
  testing_support::WriteFile(m_dir / "OBDTester.sequencer",
                             "timer 5\nregular 7DF 010C\nregular 7DF 010D\nregular 7DF 0105\n"
                             "regular 7E0 0104\nregular 7DF 0111\nregular 7DF 010F\n"
                             "regular 7DF 012F\nregular 7DF 0146\nregular 7DF 011F\n"
                             "oneshot 7DF 0902\n");
  SetTime(8'000 * kMs);  // idle into acceleration
  std::string capture;
  {
    CanIo testerIo(0), ecuIo(1), monitorIo(2);
    CanControl tester(L"t", testerIo), ecu(L"e", ecuIo), monitor(L"m", monitorIo);
    Collector spy(monitor);
    for (CanControl* c : {&tester, &ecu, &monitor})
      ASSERT_TRUE(c->Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M) && c->GoOnBus());
    XeCanAnalysis::COBDVehicleSimulator simulator(L"OBDVehicle", &ecu);
    XeCanAnalysis::CCanSequencer sequencer(L"OBDTester", &tester);
    simulator.Activate(true);
    sequencer.StartAction();  // the VIN's frames must decode to nothing
    sequencer.StartTimer();
    for (int ms = 0; ms < 4002; ++ms) {
      if (ms == 4000) sequencer.StopTimer();  // the last answer leaves the wire
      m_clock.advance_ms(1);
      ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
    }
    for (const CanMessage& m : spy.messages())
      capture += CandumpLine(m);
  }
  testing_support::WriteFile(m_dir / "obd.log", capture);

  const auto r = testing_support::RunProgram(
      "canhost", {"dbc", "decode", "--dbc", dbc.string(), (m_dir / "obd.log").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, int> decoded;
  for (const auto& cells : testing_support::CsvRows(r.out)) {
    // time,channel,id,message,signal,value
    ASSERT_EQ(cells.size(), 6u);
    const std::string& signal = cells[4];
    ++decoded[signal];
    const auto it = kExpected.find(signal);
    if (it == kExpected.end()) continue;
    // The answer carries the value at the time the ECU took the request: less than 1 ms earlier.
    const auto t = std::llround(std::stod(cells[0]) * 1e9);
    const double value = std::stod(cells[5]);
    const double now = it->second(XeCanAnalysis::DriveCycle(t));
    const double before = it->second(XeCanAnalysis::DriveCycle(t - kMs));
    EXPECT_TRUE(value >= std::min(now, before) - 1e-9 && value <= std::max(now, before) + 1e-9)
        << cells[0] << " " << signal << " expected " << before << ".." << now;
  }
  // 800 requests over 9 PIDs; the frames of the VIN decode to nothing.
  for (const auto& [signal, expect] : kExpected)
    EXPECT_GE(decoded[signal], 85) << signal;
  EXPECT_GE(decoded["RunTimeSinceEngineStart"], 85);
  EXPECT_EQ(decoded["PID"], 800);
}

}  // namespace
}  // namespace driver_test
