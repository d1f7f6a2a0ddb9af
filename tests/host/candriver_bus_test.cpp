// The virtual bus against the arithmetic of a real one: frame lengths, arbitration, bus load and
// the bounds of its queues.
#include <condition_variable>

#include "host/candriver/FrameTiming.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using Bus = DriverFixture;
using detail::ArbitrationKey;
using detail::BitsOnWire;
using detail::BusParams;
using detail::FrameDurationNs;

const BusParams k500k{false, 500'000, 0, 0};
const BusParams kFd500k2M{true, 0, 500'000, 2'000'000};

CanMessage Sized(std::uint32_t id, int length, std::uint32_t flags = 0) {
  CanMessage m =
      Message(id, std::vector<std::uint8_t>(static_cast<std::size_t>(length), 0xFF), flags);
  return m;
}

bool OnBus(CanIo& io, bool fd = false) {
  return io.Open(fd, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M) && io.GoOnBus();
}

std::shared_ptr<detail::VirtualBus> TheBus(const std::string& name = "default") {
  return detail::CanDriver::Get().Bus(name);
}

TEST(FrameTiming, BitsAndDurationsOfClassicAndFdFrames) {
  struct Case {
    CanMessage message;
    int nominal, data;
    std::int64_t ns;  // at 500 kbit/s, CAN FD data at 2 Mbit/s
  };
  const Case cases[] = {
      {Sized(0x123, 8), 135, 0, 270'000},
      {Sized(0x123, 0), 55, 0, 110'000},
      {Sized(0x123, 1), 65, 0, 130'000},
      {Sized(0x18FEF100, 8, kCanFlagExtended), 160, 0, 320'000},
      {Sized(0x123, 8, kCanFlagRemote), 55, 0, 110'000},  // a request carries no data
      {Sized(0x200, 64, kCanFlagFd | kCanFlagBrs), 34, 678, 407'000},
      {Sized(0x200, 64, kCanFlagFd), 712, 0, 1'424'000},
      {Sized(0x200, 12, kCanFlagFd | kCanFlagBrs), 34, 153, 144'500},
      {Sized(0x200, 0, kCanFlagFd | kCanFlagBrs), 34, 33, 84'500},
      {Sized(0x18FEF100, 16, kCanFlagFd | kCanFlagBrs | kCanFlagExtended), 57, 194, 211'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message.id << std::dec << " length "
                                    << c.message.length << " flags " << c.message.flags);
    EXPECT_EQ(BitsOnWire(c.message).nominal, c.nominal);
    EXPECT_EQ(BitsOnWire(c.message).data, c.data);
    EXPECT_EQ(FrameDurationNs(c.message, (c.message.flags & kCanFlagFd) ? kFd500k2M : k500k), c.ns);
  }
  // 1 Mbit/s halves it; 83.333 kbit/s rounds up to the nanosecond.
  EXPECT_EQ(FrameDurationNs(Sized(0x123, 8), {false, 1'000'000, 0, 0}), 135'000);
  EXPECT_EQ(FrameDurationNs(Sized(0x123, 8), {false, 83'333, 0, 0}), 1'620'007);
  EXPECT_EQ(FrameDurationNs(Sized(0x123, 8), {false, 0, 0, 0}), 0);
}

TEST(FrameTiming, LowerIdentifierWinsAndStandardBeatsExtendedWithTheSameBase) {
  const std::uint32_t base = 0x105u << 18;  // extended identifier whose top 11 bits are 0x105
  const CanMessage order[] = {
      Sized(0x104, 8),
      Sized(0x105, 8),
      Sized(0x105, 2, kCanFlagRemote),  // the data frame wins over a request for it
      Sized(base, 8, kCanFlagExtended),
      Sized(base | 1, 8, kCanFlagExtended),
      Sized(base | 1, 8, kCanFlagExtended | kCanFlagRemote),
      Sized(0x106, 0),
      Sized(0x106, 0, kCanFlagFd),  // an FD frame arbitrates as a data frame
  };
  for (std::size_t i = 1; i < std::size(order); ++i) {
    SCOPED_TRACE(i);
    EXPECT_LE(ArbitrationKey(order[i - 1]), ArbitrationKey(order[i]));
    EXPECT_EQ(ArbitrationKey(order[i - 1]) == ArbitrationKey(order[i]), i == 7);
  }
}

// Sixteen identifiers due at one instant go one after the other, highest priority first, each
// received when its own transmission ends.
TEST_F(Bus, SimultaneousFramesArriveInPriorityOrderSpacedByTheirFrameTimes) {
  // The extended 0x04140000 has the base identifier 0x105; it follows the standard 0x105.
  Configure(
      "channel 0 virtual\n"
      "generator default period=100ms "
      "id=10E,10D,10C,10B,10A,109,108,107,106,04140000,105,104,103,102,101,100\n");
  CanIo io(0);
  CanControl control(L"a", io);
  Collector collector(control);
  ASSERT_TRUE(OnBus(io));
  SetTime(100'000'000 + 16 * 320'000);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto got = collector.messages();
  ASSERT_EQ(got.size(), 16u);
  const std::uint32_t want[] = {0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x4140000, 0x106,
                                0x107, 0x108, 0x109, 0x10A, 0x10B, 0x10C, 0x10D,     0x10E};
  std::int64_t end = 100'000'000;
  for (std::size_t i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].id, want[i]);
    end += want[i] > 0x7FF ? 320'000 : 270'000;
    EXPECT_EQ(got[i].timestamp, static_cast<std::uint32_t>(end / 125'000));
  }
  const auto stats = TheBus()->Statistics();
  EXPECT_EQ(stats.frames, 16u);
  EXPECT_EQ(stats.busyNs, end - 100'000'000);
}

// The bus's load is the time its frames occupied it; a generator faster than the bus fills it
// completely, and the periods it could not carry are reported, not queued without end.
TEST_F(Bus, LoadFollowsTheFramesCarriedAndAnOverloadedBusIsFull) {
  Configure(
      "channel 0 virtual bus=light\n"
      "channel 1 virtual bus=full\n"
      "generator light id=123 period=1ms\n"
      "generator full id=1,2 period=10us\n");
  CanIo light(0), full(1);
  CanControl lightControl(L"light", light), fullControl(L"full", full);
  Collector lightFrames(lightControl), fullFrames(fullControl);
  ASSERT_TRUE(OnBus(light) && OnBus(full));
  // Just past the end of the light bus's 1000th frame, due at 1 s.
  constexpr std::int64_t kUntil = 1'000'300'000;
  SetTime(kUntil);
  ASSERT_TRUE(WaitUntilDelivered());

  // 1000 frames of 270 µs in a second: 27 % load.
  const auto lightStats = TheBus("light")->Statistics();
  EXPECT_EQ(lightStats.frames, 1000u);
  EXPECT_EQ(lightStats.busyNs, 1000 * 270'000);
  EXPECT_EQ(lightStats.overwritten, 0u);
  EXPECT_EQ(lightFrames.size(), 1000u);

  // Back to back from the first period at 10 µs: the bus is busy but for the frame still on the
  // wire; 0x1 always wins, 0x2 never gets the bus.
  const auto fullStats = TheBus("full")->Statistics();
  EXPECT_EQ(fullStats.frames, static_cast<std::uint64_t>((kUntil - 10'000) / 270'000));
  EXPECT_GT(fullStats.busyNs, kUntil - 10'000 - 270'000);
  EXPECT_EQ(fullFrames.size(), fullStats.frames);
  for (const CanMessage& m : fullFrames.messages())
    ASSERT_EQ(m.id, 0x1u);
  EXPECT_GT(fullStats.overwritten, 190'000u);       // of 200 000 periods
  EXPECT_EQ(Logged(L"candriver: bus full: "), 1u);  // once a second at most
  EXPECT_EQ(Logged(L"generator frames not sent: the bus was busy"), 1u);
}

// Time skipped on the bus (SkipBusTime, then the clock jumps): nothing goes over it in the
// skipped stretch, the frame on the wire and the frames waiting move on with it, and the
// generators take up with their first period after it, none of the skipped ones counted as lost.
TEST_F(Bus, SkippedTimeCarriesNothing) {
  Configure("channel 0 virtual\nchannel 1 virtual\ngenerator default id=300 period=10ms\n");
  CanIo sender(0), receiver(1);
  CanControl senderControl(L"s", sender), receiverControl(L"r", receiver);
  Collector got(receiverControl);
  ASSERT_TRUE(OnBus(sender) && OnBus(receiver));
  SetTime(1'000'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  // Periods at 10 ms, ..., 990 ms have ended; the one of 1 s is on the wire (270 µs).
  const std::size_t before = got.size();
  EXPECT_EQ(before, 99u);
  for (std::uint8_t i = 0; i < 2; ++i)
    ASSERT_TRUE(senderControl.Send(Message(0x100, {i})));
  constexpr std::int64_t kDay = 86'400'000'000'000;
  SkipBusTime(kDay);
  SetTime(1'000'000'000 + kDay);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(got.size(), before);
  SetTime(1'100'000'000 + kDay);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto after = got.messages();
  // The frame on the wire ends 270 µs after the jump, the two waiting ones follow, then the
  // periods of 1.01 s to 1.09 s a day later.
  ASSERT_EQ(after.size(), before + 1 + 2 + 9);
  const auto start = static_cast<std::uint32_t>((1'000'000'000 + kDay) / 125'000);
  EXPECT_EQ(after[before].id, 0x300u);
  EXPECT_EQ(after[before].timestamp - start, 2u);
  EXPECT_EQ(after[before + 1].id, 0x100u);
  EXPECT_EQ(after[before + 2].id, 0x100u);
  EXPECT_EQ(after[before + 3].id, 0x300u);
  EXPECT_EQ(after[before + 3].timestamp - start, 82u);  // 1.01 s + 270 µs
  EXPECT_EQ(TheBus()->Statistics().overwritten, 0u);
}

// A receiver that has caught up knows nothing ends before the generator's next period, so waiting
// for delivery leaves it asleep; until a node sends: the frame sent ends first and is waited for.
TEST_F(Bus, AFrameSentAfterTheReceiverCaughtUpIsWaitedFor) {
  Configure("channel 0 virtual\nchannel 1 virtual\ngenerator default id=300 period=100ms\n");
  CanIo sender(0), receiver(1);
  CanControl senderControl(L"s", sender), receiverControl(L"r", receiver);
  Collector got(receiverControl);
  ASSERT_TRUE(OnBus(sender) && OnBus(receiver));
  SetTime(1'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  SetTime(2'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(got.size(), 0u);
  ASSERT_TRUE(senderControl.Send(Message(0x100, {1})));
  SetTime(2'200'000);  // a 1-byte frame is on the wire for 130 µs
  ASSERT_TRUE(WaitUntilDelivered());
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got.messages()[0].id, 0x100u);
  SetTime(100'270'000);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(got.size(), 2u);
}

// While inline delivery is on, WaitUntilDelivered's caller runs the monitors, also for a frame
// sent meanwhile; afterwards the reception thread takes over again where the caller left off.
TEST_F(Bus, InlineDeliveryRunsTheMonitorsOnTheCallerThenHandsBackToTheThread) {
  Configure("channel 0 virtual\nchannel 1 virtual\ngenerator default id=300 period=10ms\n");
  CanIo sender(0), receiver(1);
  CanControl senderControl(L"s", sender), receiverControl(L"r", receiver);
  Collector got(receiverControl);
  ASSERT_TRUE(OnBus(sender) && OnBus(receiver));
  {
    const ScopedInlineDelivery inlineDelivery;
    SetTime(45'000'000);
    ASSERT_TRUE(WaitUntilDelivered());
    EXPECT_EQ(got.size(), 4u);
    ASSERT_TRUE(senderControl.Send(Message(0x100, {1})));
    SetTime(48'000'000);
    ASSERT_TRUE(WaitUntilDelivered());
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got.messages()[4].id, 0x100u);
    for (const std::thread::id& id : got.threads())
      EXPECT_EQ(id, std::this_thread::get_id());
  }
  SetTime(95'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto messages = got.messages();
  const auto threads = got.threads();
  ASSERT_EQ(messages.size(), 10u);
  for (std::size_t i = 5; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].id, 0x300u);
    EXPECT_EQ(threads[i], receiverControl.ReceptionThread().get_id());
  }
}

// A node's transmit queue holds 64 frames besides the one on the wire: one more is refused and
// reported; the queued ones go out back to back, and once there is room sending works again.
TEST_F(Bus, TransmitQueueIsBoundedAndReportsOverflow) {
  CanIo sender(0), receiver(1);
  CanControl senderControl(L"s", sender), receiverControl(L"r", receiver);
  Collector got(receiverControl);
  ASSERT_TRUE(OnBus(sender) && OnBus(receiver));
  SetTime(1'000'000);
  for (std::uint8_t i = 0; i < 65; ++i)
    ASSERT_TRUE(senderControl.Send(Message(0x300, {i})));
  EXPECT_FALSE(senderControl.Send(Message(0x300, {65})));
  EXPECT_FALSE(senderControl.Send(Message(0x100, {66})));
  EXPECT_EQ(Logged(L"candriver: channel 0: 1 messages not sent: transmit queue full (64 frames "
                   L"waiting for the bus)"),
            1u);
  SetTime(1'000'000 + 65 * 130'000);
  ASSERT_TRUE(WaitUntilDelivered());
  const auto frames = got.messages();
  ASSERT_EQ(frames.size(), 65u);
  for (std::size_t i = 0; i < 65; ++i)
    EXPECT_EQ(frames[i].data[0], i);
  EXPECT_EQ(frames.back().timestamp,
            static_cast<std::uint32_t>((1'000'000 + 65 * 130'000) / 125'000));
  EXPECT_TRUE(senderControl.Send(Message(0x300, {99})));
}

// A read monitor that holds its reception thread at the first frame until released, as a host
// that stops reading does; it keeps the counter (bytes 0..3) of every frame it is given.
class HeldReader {
 public:
  explicit HeldReader(CanControl& control) {
    control.AddCanReadMonitor([this](const CanMessage& m) {
      std::unique_lock lock(m_mutex);
      m_counters.push_back(static_cast<std::uint32_t>(m.data[0] | m.data[1] << 8 | m.data[2] << 16 |
                                                      m.data[3] << 24));
      if (m_counters.size() == 1) {
        m_held = true;
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return m_released; });
      }
      return true;
    });
  }
  bool WaitHeld() {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::seconds(30), [&] { return m_held; });
  }
  void Release() {
    {
      std::lock_guard lock(m_mutex);
      m_released = true;
    }
    m_cv.notify_all();
  }
  std::vector<std::uint32_t> counters() {
    std::lock_guard lock(m_mutex);
    return m_counters;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_held = false, m_released = false;
  std::vector<std::uint32_t> m_counters;
};

// A reader that stops reading loses the oldest frames once the bus is a whole ring ahead; the
// loss is counted for its controller and reported, never grows memory.
TEST_F(Bus, ReceiverThatFallsBehindLosesTheOldestFramesCounted) {
  Configure("channel 0 virtual\ngenerator default id=1 period=10us length=0\n");
  CanIo io(0);
  CanControl control(L"slow", io);
  HeldReader reader(control);
  ASSERT_TRUE(OnBus(io));
  SetTime(1'000'000);
  ASSERT_TRUE(reader.WaitHeld());
  // 110 µs frames: 7 s of them are about twice the ring.
  SetTime(7'000'000'000);
  reader.Release();
  ASSERT_TRUE(WaitUntilDelivered());
  const auto stats = TheBus()->Statistics();
  const std::uint64_t received = reader.counters().size();
  EXPECT_GT(control.Lost(), 0u);
  EXPECT_EQ(received + control.Lost(), stats.frames);
  EXPECT_LE(received, 64 + detail::VirtualBus::kReceiveQueue + 1);
  EXPECT_EQ(Logged(L"candriver: channel 0: " + std::to_wstring(control.Lost()) +
                   L" messages lost: receive queue full"),
            1u);
}

// Held up for less than a ring's worth, a reader gets every frame once it reads again, in bus
// order: while the ring grows for the backlog, and after it has shrunk back and traffic goes on.
TEST_F(Bus, ReceiverThatCatchesUpGetsEveryFrameInOrder) {
  Configure("channel 0 virtual\ngenerator default id=1 period=200us length=4 data=counter\n");
  CanIo io(0);
  CanControl control(L"held", io);
  HeldReader reader(control);
  ASSERT_TRUE(OnBus(io));
  SetTime(1'000'000);
  ASSERT_TRUE(reader.WaitHeld());
  SetTime(2'000'000'000);  // 10,000 frames: far more than the ring holds at first
  reader.Release();
  for (std::int64_t t = 2'100'000'000; t <= 6'000'000'000; t += 100'000'000) {
    SetTime(t);
    ASSERT_TRUE(WaitUntilDelivered());
  }
  const auto counters = reader.counters();
  EXPECT_EQ(control.Lost(), 0u);
  EXPECT_EQ(counters.size(), TheBus()->Statistics().frames);
  ASSERT_GT(counters.size(), 29'000u);
  for (std::size_t i = 1; i < counters.size(); ++i)
    ASSERT_EQ(counters[i], counters[i - 1] + 1) << "frame " << i;
}

}  // namespace
}  // namespace driver_test
