// How much of a saturated bus reaches the container: with the region the module asks for (bit
// rate / 8) dense traffic is lost for want of room; with the region the host sizes from the
// channels' rates nothing is.
#include <gtest/gtest.h>

#include <cmath>

#include "app/RegionSizing.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

// Seventeen channels on the one virtual bus: 0-15 receive, 16 sends.
std::string SeventeenChannels() {
  std::string conf;
  for (int c = 0; c <= 16; ++c)
    conf += "channel " + std::to_string(c) + " virtual\n";
  return conf;
}

struct Totals {
  std::uint64_t received = 0, delivered = 0, old = 0, noRoom = 0, future = 0, waiting = 0;
};

class Capacity : public ModuleRig {
 protected:
  Capacity() : ModuleRig(SeventeenChannels()) {}

  struct Bus {
    bool fd;
    fd_datarate_t data;
  };
  void AddSources(int count, Bus bus) {
    for (int c = 0; c < count; ++c)
      ASSERT_NE(
          m_module.create(0, L"src", c, bus.fd, BITRATE_500K, FD_ARBITRATION_500K, bus.data, true),
          nullptr);
    Attach();
    m_sender = CanIo(16);
    ASSERT_TRUE(m_sender.Open(bus.fd, BITRATE_500K, FD_ARBITRATION_500K, bus.data));
    ASSERT_TRUE(m_sender.GoOnBus());
  }
  // The region canhost gives the module: sized from the rates of the channels it opened.
  void HostSizing() {
    std::vector<app::RegionSizing::BusParams> buses;
    for (const auto& row : m_module.statistics())
      if (auto bus = OpenBusParams(row.channel)) buses.push_back(*bus);
    m_driver.choose_floats_per_sample(&m_module, app::RegionSizing::FloatsPerSample(buses, 0.001));
  }
  // Runs `frames` frames; in each, `message` goes on the bus every `spacingNs` for the first
  // `busyNs` of the frame. Then every message is either delivered or still waiting in the last
  // frame's leftovers; returns the counts of all sources.
  Totals Run(int frames, const CanMessage& message, std::int64_t spacingNs, std::int64_t busyNs) {
    Start();
    for (int f = 0; f < frames; ++f)
      Frame([&](std::int64_t frameStart) {
        for (std::int64_t t = 0; t < busyNs; t += spacingNs) {
          SetTime(frameStart + t);
          EXPECT_TRUE(m_sender.Send(message));
        }
      });
    Frame();  // what waited at the end of the last busy frame
    m_driver.stop();
    Totals totals;
    for (const auto& row : m_module.statistics()) {
      totals.received += row.received;
      totals.delivered += row.delivered;
      totals.old += row.old;
      totals.noRoom += row.noRoom;
      totals.future += row.future;
      totals.waiting += row.waiting;
      EXPECT_EQ(row.received, row.delivered + row.old + row.noRoom + row.future + row.waiting);
    }
    return totals;
  }

  CanIo m_sender{16};
};

CanMessage Remote8() {
  CanMessage m;
  m.id = 0x100;
  m.length = 8;
  m.flags = kCanFlagRemote;
  return m;
}

// Sixteen channels hear one bus that carries bursts of remote frames back to back (47 bits, one
// every 94 us at 500 kbit/s): 16-byte packets at 2.7 times bit rate / 8 on every channel.
TEST_F(Capacity, SixteenChannelsTakeBurstsAtFullBusLoad) {
  AddSources(16, {false, FD_DATA_1M});
  const Totals before = Run(3, Remote8(), 94'000, 40'000'000);
  EXPECT_EQ(before.received, 16u * 3u * 426u);
  EXPECT_GT(before.noRoom, before.received / 3);  // the module's own estimate loses most
  EXPECT_EQ(before.old, 0u);                      // in time, and said so

  HostSizing();
  const Totals after = Run(3, Remote8(), 94'000, 40'000'000);
  EXPECT_EQ(after.received, before.received);
  EXPECT_EQ(after.delivered, after.received);
  EXPECT_EQ(after.old + after.noRoom + after.future + after.waiting, 0u);
}

// Two channels, 1-byte frames spread over the whole frame at 92 % bus load (65 bits, 130 us each,
// one every 142 us): 12-byte packets at 1.5 times bit rate / 8.
TEST_F(Capacity, SpreadTrafficAtHighLoadIsNotLost) {
  AddSources(2, {false, FD_DATA_1M});
  CanMessage m = Message(0x123, {1});
  const Totals before = Run(3, m, 142'000, 100'000'000);
  EXPECT_GT(before.noRoom, 0u);

  HostSizing();
  const Totals after = Run(3, m, 142'000, 100'000'000);
  EXPECT_EQ(after.delivered, after.received);
  EXPECT_EQ(after.received, before.received);
}

// CAN FD at 500 kbit/s and 8 Mbit/s: 64-byte frames back to back (34 bits at 500 kbit/s and 678
// at 8 Mbit/s: 153 us each) on four channels.
TEST_F(Capacity, FdFramesAtFullBusLoadAreNotLost) {
  AddSources(4, {true, FD_DATA_8M});
  CanMessage m;
  m.id = 0x200;
  m.length = 64;
  m.flags = kCanFlagFd | kCanFlagBrs;
  for (int i = 0; i < 64; ++i)
    m.data[i] = static_cast<std::uint8_t>(i);
  HostSizing();
  const Totals totals = Run(2, m, 153'000, 100'000'000);
  EXPECT_EQ(totals.received, 4u * 2u * 654u);
  EXPECT_EQ(totals.delivered, totals.received);
}

TEST(RegionSizing, DensestFramesAndDocumentedExamples) {
  using app::RegionSizing;
  const RegionSizing::BusParams classic{false, 500000, 0, 0};
  const RegionSizing::BusParams fd8{true, 0, 500000, 8000000};
  // A remote frame for 8 bytes: 16 bytes in 47 bits.
  EXPECT_NEAR(RegionSizing::PeakBytesPerSecond(classic), 16.0 * 500000 / 47, 1.0);
  // 64 bytes: 29 bits at 500 kbit/s and 27 + 512 + 4 at 8 Mbit/s for 72 bytes.
  EXPECT_NEAR(RegionSizing::PeakBytesPerSecond(fd8), 72.0 / (29.0 / 5e5 + 543.0 / 8e6), 1.0);
  const std::vector<RegionSizing::BusParams> two(2, classic), sixteen(16, classic);
  EXPECT_EQ(RegionSizing::FloatsPerSample(two, 0.001), 90u);
  EXPECT_EQ(RegionSizing::FloatsPerSample(sixteen, 0.001), 715u);
  EXPECT_EQ(RegionSizing::FloatsPerSample(std::vector{fd8}, 0.001), 151u);
  EXPECT_EQ(RegionSizing::FloatsPerSample({}, 0.001), 0u);
}

}  // namespace
}  // namespace plugin_test
