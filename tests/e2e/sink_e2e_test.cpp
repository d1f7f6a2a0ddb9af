// canhost run decodes every value of a log: a replayed log, decoded by the sink (--all-signals
// --signals), holds every value that "canhost dbc decode" finds in the same log, as decoded and at
// the frame-aligned time its message ended on the wire (ReplayCheck.h).
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/ReplayCheck.h"
#include "tests/support/TestSupport.h"

namespace e2e_test {
namespace {

using testing_support::ParseRunCounts;

// Every message of the run was delivered: none old, without room, future, waiting or lost.
void ExpectAllDelivered(const ReplayReport& r) {
  const auto counts = ParseRunCounts(r.run.out);
  EXPECT_EQ(counts.At("0", "received"), static_cast<long long>(r.frames)) << r.run.out;
  EXPECT_EQ(counts.At("0", "delivered"), static_cast<long long>(r.frames)) << r.run.out;
}

TEST(CanhostRunSignals, AFixtureLogDecodesToItsValuesAtTheirFrameAlignedTimes) {
  const auto data = testing_support::SourceDir() / "tests/data";
  const ReplayReport r = CheckReplay({data / "sink_e2e.log", data / "sink_e2e.dbc"});
  std::printf("%s\n", Describe("sink_e2e.log", r).c_str());
  EXPECT_EQ(r.values, 300u * 2 / 3 * 2 + 100u);
  EXPECT_EQ(r.matched, r.values) << Describe("sink_e2e.log", r);
  EXPECT_EQ(r.extra, 0u);
  ExpectAllDelivered(r);
}

// The traces of ../shared/realdata with the DBC file each was made for (savvycan's Model S
// capture: the Tesla file of ../shared/dbc, whose StW_AnglHP the issue counted).
TEST(CanhostRunSignals, RealTracesDecodeToEveryValueOfTheirDbcFiles) {
  SKIP_WITHOUT_SHARED("realdata");
  const auto shared = testing_support::SharedDir();
  const auto real = shared / "realdata";
  struct Trace {
    const char* log;
    std::filesystem::path dbc;
  };
  const Trace traces[] = {
      {"cantools_abs.log", real / "dbc/cantools_abs.dbc"},
      {"cantools_float.log", real / "dbc/cantools_floating_point.dbc"},
      {"cantools_misc.log", real / "dbc/cantools_msxii_system_can.dbc"},
      {"kuksa_tesla_m3_dogmode.log", real / "dbc/kuksa_Model3CAN.dbc"},
      {"savvycan_tesla_ms_candump.log", shared / "dbc/tesla_can.dbc"},
  };
  for (const Trace& t : traces) {
    SCOPED_TRACE(t.log);
    const ReplayReport r = CheckReplay({real / "traces" / t.log, t.dbc});
    std::printf("%s\n", Describe(t.log, r).c_str());
    EXPECT_GT(r.values, 0u);
    EXPECT_EQ(r.matched, r.values) << Describe(t.log, r);
    EXPECT_EQ(r.extra, 0u);
    ExpectAllDelivered(r);
  }
}

// cantools_socialledge.log has a line that is no CAN frame (10 data bytes in a classic frame):
// the replay refuses the log, naming the line. Without that line it plays whole, also its frame
// that is 1.8 s out of order (it plays as soon as the wire is free after the one before).
TEST(CanhostRunSignals, ATraceWithAnUnreadableLineIsRefusedAndPlaysWithoutIt) {
  SKIP_WITHOUT_SHARED("realdata");
  const auto real = testing_support::SharedDir() / "realdata";
  const auto log = real / "traces/cantools_socialledge.log";
  const auto dbc = real / "dbc/cantools_socialledge.dbc";
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "settings/Application.sea",
                             "list \"CAN-Sources\"\nline \"Replay\", \"1\", \"0\", \"0\"\n");
  const auto refused =
      testing_support::RunProgram("canhost", {"run", "--settings", (dir / "settings").string(),
                                              "--fast", "--quiet", "--replay", log.string()});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(log.string() + ":4: 10 data bytes in a classic CAN frame"),
            std::string::npos)
      << refused.err;

  std::string text = testing_support::ReadFile(log);
  const std::size_t line4 = text.find("(1594172462.126542)");
  ASSERT_NE(line4, std::string::npos);
  text.erase(line4, text.find('\n', line4) + 1 - line4);
  testing_support::WriteFile(dir / "socialledge.log", text);
  const ReplayReport r = CheckReplay({dir / "socialledge.log", dbc});
  std::printf("%s\n", Describe("cantools_socialledge.log without line 4", r).c_str());
  EXPECT_EQ(r.values, 22u);
  EXPECT_EQ(r.matched, r.values) << Describe("socialledge", r);
  ExpectAllDelivered(r);
}

// pycan_logfile.asc has no DBC file of its own: its frames (CAN FD ones too, on a CAN FD channel)
// are all delivered.
TEST(CanhostRunSignals, AnAscTraceIsDeliveredWhole) {
  SKIP_WITHOUT_SHARED("realdata");
  const auto real = testing_support::SharedDir() / "realdata";
  ReplaySetup setup{real / "traces/pycan_logfile.asc", real / "dbc/cantools_foobar.dbc"};
  setup.bus = {true, 0, 500'000, 2'000'000};
  const ReplayReport r = CheckReplay(setup);
  std::printf("%s\n", Describe("pycan_logfile.asc", r).c_str());
  EXPECT_EQ(r.frames, 16u);
  ExpectAllDelivered(r);
  EXPECT_EQ(r.matched, r.values);
}

}  // namespace
}  // namespace e2e_test
