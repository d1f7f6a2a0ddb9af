#include <gtest/gtest.h>

#include <map>

#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

using Capture = ModuleRig;

TEST_F(Capture, PacketLandsAtTheSlowSampleOfItsTime) {
  Add(0);
  Attach();
  CanIo sender = Sender(3);
  Start();
  EXPECT_EQ(m_driver.floats_per_sample(&m_module), 16u);
  const auto placed = Frame(SendAt(sender, 80, Message(0x123, {1, 2, 3, 4, 5, 6})));
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].sample, 10);
  EXPECT_EQ(placed[0].offset, 640u);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_driver.region(&m_module).data());
  const std::vector<std::uint8_t> packet(bytes + 640, bytes + 656);
  EXPECT_EQ(packet, (std::vector<std::uint8_t>{0x55, 0, 6, 0xAA, 0x23, 0x01, 0, 0, 1, 2, 3, 4, 5, 6,
                                               0, 0}));
  EXPECT_EQ(m_module.statistics()[0].delivered, 1u);
  // An extended identifier carries bit 31 in the packet.
  const auto next = Frame(SendAt(sender, 8, Message(0x18DAF110, {9})));
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].id, 0x98DAF110u);
  EXPECT_EQ(next[0].sample, 1);
}

TEST_F(Capture, EqualTimesArePackedBehindEachOtherUntilTheSlackRunsOut) {
  Add(0);
  Add(1);
  Attach();
  Start();
  m_module.set_log_level(1);
  // Eight messages at the same instant, each heard by both sources: 16 packets of 12 bytes want
  // the same place; 10 ticks of slack are 160 bytes (two sources: 32 floats a sample).
  const auto placed = Frame([&](std::int64_t frameStart) {
    for (std::uint8_t i = 0; i < 8; ++i)
      Hear(frameStart + 400 * kTickNs, Message(0x200, {i}));
  });
  ASSERT_EQ(placed.size(), 14u);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    EXPECT_EQ(placed[i].offset, 400 * std::size_t{16} + 12 * i);  // 16 bytes a tick: p = 6400
    // Of equal times the records of the earlier source (channel 0) stay first: stable merge.
    EXPECT_EQ(placed[i].channel, i < 8 ? 0 : 1);
    EXPECT_EQ(placed[i].data0, i < 8 ? i : i - 8);
  }
  EXPECT_EQ(m_log.count(L"fill: dropped 2 old CAN messages\n"), 1u);
  EXPECT_EQ(m_log.count_containing(L"processed"), 0u);  // log level 1
  // The statistics tell the two apart: in time, but no room.
  const auto stats = m_module.statistics();
  EXPECT_EQ(stats[1].noRoom, 2u);
  EXPECT_EQ(stats[0].old + stats[1].old, 0u);
}

TEST_F(Capture, DelayedChannelsDropOldRecordsAndPlaceRecentOnesAtTheFrameStart) {
  Add(0);
  Attach();
  CanIo sender = Sender(3);
  ASSERT_TRUE(m_module.set_delay(20));
  Start();
  m_module.set_log_level(1);
  EXPECT_TRUE(Frame(SendAt(sender, 0, Message(0x1, {1}))).empty());
  EXPECT_EQ(m_log.count(L"fill: dropped 1 old CAN messages\n"), 1u);
  ASSERT_TRUE(m_module.set_delay(5));
  const auto placed = Frame(SendAt(sender, 0, Message(0x2, {2})));
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].offset, 0u);
}

// A record stamped more than 2 s after both the frame and the USB time now cannot be right (a
// channel clock that jumped): it and the rest of the buffer go.
TEST_F(Capture, FutureRecordDiscardsTheRestOfTheBuffer) {
  Add(0);
  Attach();
  Start();
  m_module.set_log_level(2);
  // The frame runs at its end, 800 ticks after its start.
  const auto placed = Frame([&](std::int64_t frameStart) {
    Hear(frameStart + 10 * kTickNs, Message(0x1, {1}));
    Hear(frameStart + (800 + 16010) * kTickNs, Message(0x2, {2}));
    Hear(frameStart + (800 + 16010) * kTickNs, Message(0x3, {3}));
  });
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].id, 0x1u);
  EXPECT_EQ(m_log.count(L"fill: drop 2 future CAN messages\n"), 1u);
  EXPECT_EQ(m_log.count(L"fill: processed 1 new CAN messages\n"), 1u);
  const auto stats = m_module.statistics();
  EXPECT_EQ(stats[0].waiting, 0u);
  EXPECT_EQ(stats[0].future, 2u);
  EXPECT_EQ(stats[0].delivered, 1u);
}

// The host ran nothing for 12 s (a suspended machine) while the bus went on, full, at 3700
// messages a second. The driver kept the last 32768 frames for the channel and lost the older
// ones; the frames then catch up back to back, and every record kept is delivered in its own
// frame: none is discarded as future, none is counted twice.
TEST_F(Capture, AfterAStallWhatTheDriverKeptIsDeliveredOrCountedAsOverflowOnce) {
  testing_support::WriteFile(m_dir / "candriver.conf",
                             "channel 0 virtual\n"
                             "generator default id=100 period=250us length=8\n");
  ReloadConfiguration();
  Add(0);
  Attach();
  Start();
  const std::size_t first = Frame().size();  // 270 µs a frame: the bus is full
  CatchUp(12'000'000'000);
  const auto row = m_module.statistics().at(0);
  EXPECT_EQ(row.future, 0u);
  EXPECT_EQ(row.old, 0u);
  EXPECT_EQ(row.noRoom, 0u);
  EXPECT_EQ(row.received, row.delivered + row.waiting + row.overflow);
  // 44,444 frames in the stall; the ring held a whole 32768 of them.
  EXPECT_GE(row.delivered + row.waiting, first + 32'768u);
  EXPECT_GT(row.overflow, 11'000u);
  EXPECT_LE(row.waiting, 1u);
}

// A stall of 20 minutes, more than half a turn of the channel's 24-bit capsule clock (2097 s): a
// record that waited in the buffer from before the stall is still read at its own time, not a
// turn later (in the far future, with the driver's 32768 after it).
TEST_F(Capture, AfterAStallLongerThanTheCapsuleClockNothingIsFuture) {
  testing_support::WriteFile(m_dir / "candriver.conf",
                             "channel 0 virtual\n"
                             "generator default id=100 period=20ms phase=19650us length=8\n");
  ReloadConfiguration();
  Add(0);
  Attach();
  Start();
  // Every fifth frame ends in a frame's last tick (99.92 ms): its packet does not fit, it waits
  // in the buffer for the next frame.
  Frame();
  ASSERT_EQ(m_module.statistics().at(0).waiting, 1u);
  CatchUp(1'200'000'000'000);
  const auto row = m_module.statistics().at(0);
  EXPECT_EQ(row.future, 0u);
  EXPECT_EQ(row.old, 0u);
  EXPECT_EQ(row.received, row.delivered + row.waiting + row.overflow);
  EXPECT_GE(row.delivered, 1u + 32'768u);
  EXPECT_GT(row.overflow, 1'200u * 50u - 32'768u - 100u);
}

TEST_F(Capture, MessageThatDoesNotFitWaitsForTheNextFrame) {
  Add(0);
  Attach();
  Start();
  // 64 bytes a sample: the frame's 6400 bytes end 40 bytes after the place of tick 795.
  const auto first = Frame([&](std::int64_t frameStart) {
    for (std::uint8_t i = 0; i < 3; ++i)
      Hear(frameStart + 795 * kTickNs, Message(0x300, {i, 0, 0, 0, 0}));
  });
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].offset, 6376u);
  ASSERT_EQ(m_module.statistics()[0].waiting, 1u);
  // 5 ticks before the next frame's start: placed at its beginning.
  const auto second = Frame();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].offset, 0u);
  EXPECT_EQ(second[0].data0, 2);
}

// Every message an active source received is delivered, dropped as old or for want of room,
// discarded as future or still waiting; nothing else happens to it.
TEST_F(Capture, AccountingOverManyFramesOfGeneratedTraffic) {
  testing_support::WriteFile(m_dir / "candriver.conf",
                             "channel 0 virtual\nchannel 1 virtual\nchannel 2 virtual offset=4000 "
                             "drift=50\nchannel 3 virtual\n"
                             "generator default id=100,200,18FEF100 period=1ms length=8\n"
                             "generator default id=7FF period=3ms length=3\n");
  ReloadConfiguration();
  Add(0);
  Add(1, false);
  Add(2);
  Attach();
  Start();
  std::uint64_t delivered = 0;
  for (int frame = 0; frame < 60; ++frame)
    delivered += Frame().size();
  m_driver.stop();
  const auto stats = m_module.statistics();
  ASSERT_EQ(stats.size(), 3u);
  std::uint64_t counted = 0;
  for (const auto& row : stats) {
    EXPECT_EQ(row.received, row.delivered + row.old + row.noRoom + row.future + row.waiting)
        << row.channel;
    counted += row.delivered;
  }
  EXPECT_EQ(counted, delivered);
  EXPECT_EQ(stats[1].received, 0u);  // inactive
  // 6 s of 3 + 1/3 messages a millisecond reach each active channel; all but the last frame's
  // are delivered.
  EXPECT_GT(stats[0].delivered, 19900u);
  EXPECT_GT(stats[2].delivered, 19900u);
  EXPECT_EQ(stats[0].old + stats[0].future, 0u);
}

// Two channels whose clocks are seconds apart and drift by +-100 ppm: messages sent at one
// instant land in the same slow sample (+-1) through ten minutes.
TEST_F(Capture, DriftingChannelsStayAlignedForTenMinutes) {
  testing_support::WriteFile(m_dir / "candriver.conf",
                             "channel 0 virtual offset=24000 drift=100\n"
                             "channel 1 virtual offset=-40000 drift=-100\n"
                             "channel 2 virtual\n");
  ReloadConfiguration();
  Add(0);
  Add(1);
  Attach();
  CanIo sender = Sender(2);
  Start();
  int worst = 0;
  int pairs = 0;
  for (int frame = 0; frame < 6000; ++frame) {
    const auto placed = Frame([&](std::int64_t frameStart) {
      SetTime(frameStart + (frame % 97 * 8 + 3) * kTickNs);
      ASSERT_TRUE(sender.Send(Message(static_cast<std::uint32_t>(frame % 2000), {1})));
    });
    std::map<int, int> sampleOf;
    for (const auto& p : placed)
      sampleOf[p.channel] = p.sample;
    ASSERT_EQ(sampleOf.size(), 2u) << "frame " << frame;
    worst = std::max(worst, std::abs(sampleOf[0] - sampleOf[1]));
    ++pairs;
  }
  EXPECT_LE(worst, 1);
  EXPECT_EQ(pairs, 6000);
}

}  // namespace
}  // namespace plugin_test
