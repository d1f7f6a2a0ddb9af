// The frame's packets from hand-built batches: every expected offset is worked out in the comment
// beside it from the frame's geometry, 16 bytes a tick unless a test says otherwise.
#include "source/FrameAssembler.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "frame/CanPacket.h"

namespace {

using XeCanDriverKvaser::CanMessage;

constexpr std::int64_t kStart = 1000;  // host time of the frame's first byte, ticks

CanRecord Record(int channel, std::uint32_t stamp, std::uint32_t id, std::vector<std::uint8_t> data,
                 std::uint32_t flags = 0) {
  CanMessage m;
  m.channel = channel;
  m.id = id;
  m.flags = flags;
  m.length = static_cast<std::int32_t>(data.size());
  for (std::size_t i = 0; i < data.size(); ++i)
    m.data[i] = data[i];
  m.timestamp = stamp;
  return {stamp, m};
}

// A packet found at an offset: its channel and first data byte, enough to tell records apart.
struct Found {
  std::size_t offset;
  int channel;
  int first;
  bool operator==(const Found&) const = default;
};

class Assembler : public ::testing::Test {
 protected:
  Assembler() {
    m_assembler.add_route(0, &m_lanes[0]);
    m_assembler.add_route(1, &m_lanes[1]);
  }
  // 800 ticks of 16 bytes; a record more than 2 s after the frame start is implausible.
  FrameAssembler::Frame Frame(std::uint32_t capacity = 12800, float bytesPerTick = 16.0F,
                              std::int64_t start = kStart) {
    m_region.assign(capacity, 0);
    return {m_region.data(), capacity, bytesPerTick, start, start + 16000};
  }
  FrameAssembler::Tally Run(std::vector<std::vector<CanRecord>> batches,
                            const FrameAssembler::Frame& frame) {
    m_batches = std::move(batches);
    for (auto& batch : m_batches)
      m_assembler.add_batch(batch);
    m_assembler.merge();
    return m_assembler.fill(frame);
  }
  std::vector<Found> Packets() const {
    std::vector<Found> found;
    can::PacketScanner scanner(m_region.data(), m_region.size(), can::ScanMode::Complete);
    for (can::PacketRef p{}; scanner.next(p);)
      found.push_back({p.offset, p.channel, p.length ? p.data[0] : -1});
    return found;
  }

  std::array<ChannelLane, 3> m_lanes;
  FrameAssembler m_assembler;
  std::vector<std::vector<CanRecord>> m_batches;
  std::vector<std::uint8_t> m_region;
};

TEST_F(Assembler, PacketGoesToTheByteOfItsTime) {
  // 80 ticks after the start: 80 x 16 = byte 1280.
  const auto tally = Run({{Record(0, 1080, 0x123, {1, 2, 3, 4, 5, 6})}}, Frame());
  EXPECT_EQ(tally.processed, 1);
  const std::vector<std::uint8_t> packet(m_region.begin() + 1280, m_region.begin() + 1296);
  EXPECT_EQ(packet, (std::vector<std::uint8_t>{0x55, 0, 6, 0xAA, 0x23, 0x01, 0, 0, 1, 2, 3, 4, 5, 6,
                                               0, 0}));
  EXPECT_EQ(Packets().size(), 1u);  // nothing else written
  EXPECT_EQ(m_lanes[0].counters.delivered, 1u);
  EXPECT_TRUE(m_assembler.buffer().empty());

  // 6.4 bytes a tick (16 floats, 0.1 samples a tick): 3 ticks are 19.2 bytes, down to 16; an
  // extended identifier carries bit 31.
  Run({{Record(1, 1003, 0x18DAF110, {9}, XeCanDriverKvaser::kCanFlagExtended)}},
      Frame(12800, 6.4F));
  EXPECT_EQ(Packets(), (std::vector<Found>{{16, 1, 9}}));
  EXPECT_EQ(m_region[16 + 4], 0x10);
  EXPECT_EQ(m_region[16 + 7], 0x98);
}

TEST_F(Assembler, ChannelsAreMergedByHostTimeNotByStamp) {
  // Channel 1's clock runs 500 ticks behind the host: its stamps 560 and 660 are 1060 and 1160.
  m_lanes[1].capsule.m_offset = 500;
  Run({{Record(0, 1020, 0x1, {10}), Record(0, 1100, 0x1, {11}), Record(0, 1200, 0x1, {12})},
       {Record(1, 560, 0x2, {20}), Record(1, 660, 0x2, {21})}},
      Frame());
  // Ticks 20, 60, 100, 160, 200 -> bytes 320, 960, 1600, 2560, 3200.
  EXPECT_EQ(Packets(),
            (std::vector<Found>{
                {320, 0, 10}, {960, 1, 20}, {1600, 0, 11}, {2560, 1, 21}, {3200, 0, 12}}));
  EXPECT_EQ(m_lanes[0].counters.delivered, 3u);
  EXPECT_EQ(m_lanes[1].counters.delivered, 2u);
}

TEST_F(Assembler, EqualTimesArePackedBehindEachOtherUntilTheSlackRunsOut) {
  // Eight 12-byte packets per channel at tick 100 (byte 1600). The slack is 10 ticks, up to byte
  // 1760: packets start at 1600 + 12 i while that is at most 1760, i = 0..13. Of equal times the
  // batch added first goes first, so channel 1 loses its last two. A record at tick 112 (byte
  // 1792) is past the crowd and in place again.
  std::vector<CanRecord> zero;
  std::vector<CanRecord> one;
  for (std::uint8_t i = 0; i < 8; ++i) {
    zero.push_back(Record(0, 1100, 0x200, {i}));
    one.push_back(Record(1, 1100, 0x200, {static_cast<std::uint8_t>(0x10 + i)}));
  }
  one.push_back(Record(1, 1112, 0x201, {0x20}));
  const auto tally = Run({zero, one}, Frame());
  const auto found = Packets();
  ASSERT_EQ(found.size(), 15u);
  for (std::size_t i = 0; i < 14; ++i) {
    EXPECT_EQ(found[i].offset, 1600 + 12 * i);
    EXPECT_EQ(found[i].first, i < 8 ? static_cast<int>(i) : static_cast<int>(0x10 + i - 8));
  }
  EXPECT_EQ(found[14], (Found{1792, 1, 0x20}));
  EXPECT_EQ(tally.processed, 15);
  EXPECT_EQ(tally.old, 2);  // the log line counts them with the old ones
  EXPECT_EQ(m_lanes[1].counters.noRoom, 2u);
  EXPECT_EQ(m_lanes[1].counters.old, 0u);
  EXPECT_EQ(m_lanes[0].counters.noRoom, 0u);
}

TEST_F(Assembler, OldRecordsAreDroppedAndRecentOnesPlacedAtTheFrameStart) {
  // 20 ticks before the start is old; 10 before is the last tick still placed, at byte 0; 5
  // before goes right behind it.
  const auto tally = Run(
      {{Record(0, 980, 0x1, {1}), Record(0, 990, 0x1, {2}), Record(0, 995, 0x1, {3})}}, Frame());
  EXPECT_EQ(Packets(), (std::vector<Found>{{0, 0, 2}, {12, 0, 3}}));
  EXPECT_EQ(tally.old, 1);
  EXPECT_EQ(m_lanes[0].counters.old, 1u);
  EXPECT_EQ(m_lanes[0].counters.delivered, 2u);
  EXPECT_TRUE(m_assembler.buffer().empty());
}

TEST_F(Assembler, RecordThatWouldReachTheRegionEndWaitsForTheNextFrame) {
  // 8 bytes a tick, 6400 bytes. Tick 796 is byte 6368: its 12 bytes end at 6380, inside. Tick 798
  // is byte 6384: its 16 bytes would end at 6400, the region's end, so it waits, and so does what
  // follows it.
  auto tally = Run({{Record(0, 1796, 0x1, {1}), Record(0, 1798, 0x1, {2, 0, 0, 0, 0})},
                    {Record(1, 1799, 0x2, {3})}},
                   Frame(6400, 8.0F));
  EXPECT_EQ(Packets(), (std::vector<Found>{{6368, 0, 1}}));
  EXPECT_EQ(tally.processed, 1);
  ASSERT_EQ(m_assembler.buffer().size(), 2u);
  m_assembler.count_waiting();
  EXPECT_EQ(m_lanes[0].waiting, 1u);
  EXPECT_EQ(m_lanes[1].waiting, 1u);

  // The next frame starts at 1800: both are 2 and 1 ticks before it, placed from byte 0. A new
  // record of channel 0 at the same time as the waiting one of channel 1 (1799) goes behind it.
  tally = Run({{Record(0, 1799, 0x1, {4})}}, Frame(6400, 8.0F, 1800));
  EXPECT_EQ(Packets(), (std::vector<Found>{{0, 0, 2}, {16, 1, 3}, {28, 0, 4}}));
  EXPECT_EQ(tally.processed, 3);
  EXPECT_EQ(m_lanes[0].counters.delivered, 3u);
  EXPECT_EQ(m_lanes[1].counters.delivered, 1u);
  m_assembler.count_waiting();
  EXPECT_EQ(m_lanes[0].waiting, 0u);
}

TEST_F(Assembler, WaitingRecordIsPlacedByTheClockOfTheFrameThatPlacesIt) {
  auto tally =
      Run({{Record(0, 1799, 0x1, {1, 0, 0, 0, 0}), Record(0, 1799, 0x1, {2})}}, Frame(6400, 8.0F));
  // Byte 6392: the first packet would end at 6408; both wait.
  EXPECT_EQ(tally.processed, 0);
  ASSERT_EQ(m_assembler.buffer().size(), 2u);
  // The channel's clock was corrected by 5 ticks: 1804 in the frame from 1800, byte 32.
  m_lanes[0].capsule.m_offset = 5;
  tally = Run({}, Frame(6400, 8.0F, 1800));
  EXPECT_EQ(Packets(), (std::vector<Found>{{32, 0, 1}, {48, 0, 2}}));
}

TEST_F(Assembler, FutureRecordDiscardsItselfAndEveryLaterOne) {
  // 16000 ticks after the start (17000) still waits for its frame; 17001 is implausible, and so
  // is everything after it, of any channel.
  auto tally = Run({{Record(0, 17000, 0x1, {2})}}, Frame());
  EXPECT_EQ(tally.future, 0);
  ASSERT_EQ(m_assembler.buffer().size(), 1u);
  m_assembler.clear();

  tally = Run({{Record(0, 1010, 0x1, {1}), Record(0, 17001, 0x1, {3}), Record(0, 17500, 0x1, {4})},
               {Record(1, 17002, 0x2, {5})}},
              Frame());
  EXPECT_EQ(Packets(), (std::vector<Found>{{160, 0, 1}}));
  EXPECT_EQ(tally.processed, 1);
  EXPECT_EQ(tally.future, 3);
  EXPECT_TRUE(m_assembler.buffer().empty());
  EXPECT_EQ(m_lanes[0].counters.future, 2u);
  EXPECT_EQ(m_lanes[1].counters.future, 1u);
  EXPECT_EQ(m_lanes[0].counters.delivered, 1u);
}

TEST_F(Assembler, RecordsOfChannelsWithoutLaneAreCountedAndDropped) {
  // Channel 0's second lane gets nothing: the first one on a channel keeps it.
  m_assembler.add_route(0, &m_lanes[2]);
  const auto tally = Run({{Record(5, 1010, 0x1, {1})}, {Record(0, 1020, 0x2, {2})}}, Frame());
  EXPECT_EQ(tally.unrouted, 1);
  EXPECT_EQ(Packets(), (std::vector<Found>{{320, 0, 2}}));
  EXPECT_EQ(m_lanes[0].counters.delivered, 1u);
  EXPECT_EQ(m_lanes[2].counters.delivered, 0u);
  EXPECT_TRUE(m_assembler.buffer().empty());
  m_assembler.clear_routes();
  EXPECT_EQ(m_assembler.lane_of(0), nullptr);
  // A channel beyond the table's 256 is routed all the same.
  m_assembler.add_route(1000, &m_lanes[2]);
  EXPECT_EQ(m_assembler.lane_of(1000), &m_lanes[2]);
}

TEST(ChannelLane, StampsAreReadAgainstTheWholeClockReading) {
  ChannelLane lane;
  lane.capsule.m_base = 1000;  // time 1000 at the last reading
  // Read since its reset: the 32-bit reading tells a stamp 12582912 ticks old (more than half the
  // capsule's 24-bit turn) from one 4194304 ahead.
  lane.lastRaw = 0x01000010;
  lane.capsule.m_last = 0x10;
  EXPECT_EQ(lane.time_of({0x00400010, {}}), 1000 - 12582912);
  EXPECT_EQ(lane.time_of({0x01000110, {}}), 1000 + 256);
  // Not read since its reset (the reading does not match the capsule's): the capsule's nearer
  // reading across its 24-bit wrap, last 100 and stamp 16777000 -> 316 before.
  lane.lastRaw = 0;
  lane.capsule.m_last = 100;
  EXPECT_EQ(lane.time_of({16777000, {}}), 1000 - 316);
}

}  // namespace
