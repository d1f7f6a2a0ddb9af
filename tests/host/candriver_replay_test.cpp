#include <cstring>

#include "host/candriver/CanLogReader.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using Replay = DriverFixture;

// Real logs, played at once by a big clock step: every frame arrives, in order, with the log's
// spacing to the tick (the abs log spans 6.6 days, so its stamps also wrap at 2^32).
TEST_F(Replay, PlaysRealLogsWithTheirSpacingToTheTick) {
  SKIP_WITHOUT_SHARED("realdata/traces");
  struct Case {
    const char* file;
    const char* interface;
    std::size_t frames;
  };
  for (const Case& c :
       {Case{"cantools_abs.log", "", 44}, Case{"cantools_misc.log", "", 44},
        Case{"kuksa_tesla_m3_dogmode.log", "", 12138}, Case{"pycan_logfile.asc", "1", 6}}) {
    SCOPED_TRACE(c.file);
    const auto path = testing_support::SharedDir() / "realdata/traces" / c.file;
    Configure("channel 0 replay file=\"" + path.string() + "\" interface=" + c.interface + "\n");
    std::vector<CanLogEntry> want;
    CanLogReader reader;
    ASSERT_TRUE(reader.Open(path));
    for (CanLogEntry e; reader.Next(e);)
      if (e.error.empty() && !(e.message.flags & kCanFlagErrorFrame) &&
          (!*c.interface || e.channel == c.interface))
        want.push_back(e);
    ASSERT_EQ(want.size(), c.frames);

    CanIo io(0);
    CanControl control(L"replay", io);
    Collector collector(control);
    ASSERT_TRUE(control.Start(true, BITRATE_500K, FD_ARBITRATION_1M, FD_DATA_4M));
    ASSERT_TRUE(control.GoOnBus());
    const std::uint32_t start = static_cast<std::uint32_t>(Now() / 125'000);
    SetTime(Now() + (want.back().timeNs - want.front().timeNs) + 62'500);
    ASSERT_TRUE(WaitUntilDelivered());
    const auto got = collector.messages();
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      const CanMessage& w = want[i].message;
      ASSERT_EQ(got[i].id, w.id) << i;
      ASSERT_EQ(got[i].length, w.length) << i;
      ASSERT_EQ(got[i].flags, w.flags) << i;
      ASSERT_EQ(0, std::memcmp(got[i].data, w.data, 64)) << i;
      const std::int64_t ticks = (want[i].timeNs - want[0].timeNs + 62'500) / 125'000;
      ASSERT_EQ(got[i].timestamp - start, static_cast<std::uint32_t>(ticks)) << i;
    }
    control.Stop();
  }
}

TEST_F(Replay, ReportsBadLinesAndSkippedFramesAndPlaysOneInterface) {
  testing_support::WriteFile(m_dir / "bad.log",
                             "(1.000000) can0 123#11\n"
                             "(1.000100) can0 12#00\n"
                             "(1.000250) can1 124#22\n"
                             "(1.000500) can0 125##0AABB\n"
                             "(1.000750) can0 ERROR\n"
                             "(1.001000) can0 126#33\n");
  Configure(
      "channel 0 replay file=bad.log interface=can0\n"
      "channel 1 replay file=missing.log\n");
  CanIo io(0), missing(1);
  EXPECT_FALSE(missing.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  EXPECT_EQ(Logged(L"candriver: channel 1: " + (m_dir / "missing.log").wstring() +
                   L": cannot open: No such file or directory"),
            1u);

  CanControl control(L"replay", io);
  Collector collector(control);
  ASSERT_TRUE(control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  ASSERT_TRUE(control.GoOnBus());
  SetTime(Now() + 1'000'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto got = collector.messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, 0x123u);
  EXPECT_EQ(got[1].id, 0x126u);
  EXPECT_EQ(got[1].timestamp - got[0].timestamp, 8u);
  const std::wstring file = (m_dir / "bad.log").wstring();
  EXPECT_EQ(
      Logged(L"candriver: channel 0: " + file + L":2: identifier '12' needs 3 or 8 hex digits"),
      1u);
  EXPECT_EQ(Logged(L"candriver: channel 0: " + file +
                   L": 1 CAN FD frames skipped: channel opened without CAN FD"),
            1u);
  EXPECT_EQ(Log().size(), 3u);
  EXPECT_FALSE(control.Send(got[0]));  // a log cannot be written to
}

// A merged log whose interfaces are out of step by less than the window plays in time order; a
// frame further out of order is reported with its line instead of vanishing.
TEST_F(Replay, PlaysSlightlyUnorderedLogsInTimeOrderAndReportsFramesBeyondTheWindow) {
  testing_support::WriteFile(m_dir / "merged.log",
                             "(10.000000) can0 001#01\n"
                             "(10.400000) can0 002#02\n"
                             "(10.100000) can1 003#03\n"  // 0.3 s late: sorted in
                             "(10.400000) can1 004#04\n"  // equal time: after 002
                             "(12.500000) can0 005#05\n"
                             "(10.200000) can1 006#06\n"  // after 10.4 was played: beyond
                             "(12.600000) can0 007#07\n");
  Configure("channel 0 replay file=merged.log\n");
  CanIo io(0);
  CanControl control(L"replay", io);
  Collector collector(control);
  ASSERT_TRUE(control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  ASSERT_TRUE(control.GoOnBus());
  const auto start = static_cast<std::uint32_t>(Now() / 125'000);
  SetTime(Now() + 3'000'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto got = collector.messages();
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> want = {
      {0x1, 0}, {0x3, 800}, {0x2, 3200}, {0x4, 3200}, {0x5, 20000}, {0x7, 20800}};
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].first) << i;
    EXPECT_EQ(got[i].timestamp - start, want[i].second) << i;
  }
  EXPECT_EQ(Logged(L"candriver: channel 0: " + (m_dir / "merged.log").wstring() +
                   L":6: frame 0.200000 s earlier than one already played (more than 1 s out of "
                   L"order), skipped"),
            1u);
  EXPECT_TRUE(ReplayFinished(0));
}

}  // namespace
}  // namespace driver_test
