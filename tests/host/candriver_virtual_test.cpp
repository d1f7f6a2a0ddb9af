#include <stdexcept>

#include "host/candriver/ChannelClock.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using VirtualBus = DriverFixture;

bool OnBus(CanIo& io, bitrate_t rate = BITRATE_500K) {
  return io.Open(false, rate, FD_ARBITRATION_500K, FD_DATA_2M) && io.GoOnBus();
}

// A one-byte standard frame occupies a 500 kbit/s bus for 65 bits: 130 µs.
constexpr std::int64_t kOneByteNs = 130'000;

// Each channel counts its own time: the difference between two channels' stamps of one message
// is exactly the configured offsets plus the drift gained since the host clock's start.
TEST_F(VirtualBus, ChannelClocksDifferExactlyAsConfigured) {
  Configure(
      "channel 0 virtual\n"
      "channel 1 virtual offset=8000 drift=100\n"
      "channel 2 virtual offset=-5 drift=-12.5\n"
      "channel 3 virtual\n");
  CanIo io0(0), io1(1), io2(2), sender(3);
  CanControl c0(L"a", io0), c1(L"b", io1), c2(L"c", io2);
  Collector r0(c0), r1(c1), r2(c2);
  for (CanControl* c : {&c0, &c1, &c2}) {
    ASSERT_TRUE(c->Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
    ASSERT_TRUE(c->GoOnBus());
  }
  ASSERT_TRUE(OnBus(sender));
  for (const std::int64_t t : {10'000'000'000LL, 20'000'000'000LL}) {
    // Sent so that its transmission ends, and receivers stamp it, at t.
    SetTime(t - kOneByteNs);
    ASSERT_TRUE(sender.Send(Message(0x100, {1})));
    SetTime(t);
    ASSERT_TRUE(WaitUntilDelivered());
    const std::uint32_t t0 = r0.messages().back().timestamp;
    EXPECT_EQ(t0, t / 125'000);
    // +8000 ticks, +100 ppm: 1 ms (8 ticks) gained per 10 s.
    EXPECT_EQ(r1.messages().back().timestamp - t0,
              8000u + 8u * static_cast<unsigned>(t / 10'000'000'000));
    // -5 ticks, -12.5 ppm: 125 µs (1 tick) lost per 10 s.
    EXPECT_EQ(t0 - r2.messages().back().timestamp, 5u + static_cast<unsigned>(t / 10'000'000'000));
    EXPECT_EQ(io1.TimeStamp() - io0.TimeStamp(),
              static_cast<std::int32_t>(r1.messages().back().timestamp - t0));
  }
}

// Like a real bus: only nodes on bus at the same rates hear a frame; the sender does not hear
// itself, another handle on its channel does.
TEST_F(VirtualBus, OnlyNodesAtTheSameRatesReceive) {
  CanIo sender(0), echo(0), same(1), slower(2), fd(3);
  CanControl cEcho(L"echo", echo), cSame(L"same", same), cSlower(L"slower", slower), cFd(L"fd", fd),
      cSender(L"sender", sender);
  Collector rEcho(cEcho), rSame(cSame), rSlower(cSlower), rFd(cFd), rSender(cSender);
  ASSERT_TRUE(OnBus(sender) && OnBus(echo) && OnBus(same) && OnBus(slower, BITRATE_250K));
  ASSERT_TRUE(fd.Open(true, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M) && fd.GoOnBus());

  EXPECT_TRUE(cSender.Send(Message(0x123, {1, 2})));
  EXPECT_TRUE(cSender.Send(Message(0x98FEF100, {3})));  // bit 31: the DBC way to say extended
  EXPECT_FALSE(cSender.Send(Message(0x200, {1, 2, 3, 4, 5, 6, 7, 8, 9})));  // 9 bytes
  EXPECT_FALSE(cSender.Send(Message(0x200, {1}, kCanFlagFd)));  // channel opened without FD
  EXPECT_FALSE(cSender.Send(Message(0x20000000, {})));          // beyond 29 bits
  SetTime(Now() + 1'000'000);
  ASSERT_TRUE(WaitUntilDelivered());

  EXPECT_EQ(rSender.size(), 0u);
  EXPECT_EQ(rSlower.size(), 0u);
  EXPECT_EQ(rFd.size(), 0u);
  ASSERT_EQ(rSame.size(), 2u);
  EXPECT_EQ(rEcho.size(), 2u);
  const auto got = rSame.messages();
  EXPECT_EQ(got[0].id, 0x123u);
  EXPECT_EQ(got[0].channel, 1);
  EXPECT_EQ(got[1].id, 0x18FEF100u);
  EXPECT_EQ(got[1].flags, kCanFlagExtended);

  echo.GoOffBus();
  same.Close();
  EXPECT_FALSE(cSame.Send(Message(0x1, {})));
  EXPECT_TRUE(cSender.Send(Message(0x124, {})));
  SetTime(Now() + 1'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(rEcho.size(), 2u);
  EXPECT_EQ(rSame.size(), 2u);
}

// With a manual clock a generator yields exactly the frames due, each stamped when its
// transmission ends, merged in bus order with the frames other nodes send.
TEST_F(VirtualBus, GeneratorYieldsExactlyTheFramesDue) {
  Configure(
      "channel 0 virtual bus=body\n"
      "channel 1 virtual bus=body\n"
      "channel 2 virtual bus=body\n"
      "generator body id=123,18FEF100 period=10ms data=counter\n"
      "generator body id=300 period=20ms phase=5ms length=12 fd=1 data=ramp\n");
  SetTime(5'000'000);
  CanIo io(0), fdIo(2), sender(1);
  CanControl control(L"a", io), fdControl(L"b", fdIo);
  Collector classic(control), fd(fdControl);
  ASSERT_TRUE(OnBus(io) && OnBus(sender));
  ASSERT_TRUE(fdIo.Open(true, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M) && fdIo.GoOnBus());

  SetTime(44'999'999);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(classic.size(), 8u);  // periods at 10, 20, 30, 40 ms
  SetTime(45'000'000);
  // Due with the CAN FD generator's 0x300: that one has priority and the bus for 374 µs.
  ASSERT_TRUE(sender.Send(Message(0x7AB, {0xEE})));
  SetTime(100'590'000);  // the end of the second frame of the period at 100 ms
  ASSERT_TRUE(WaitUntilDelivered());

  const auto got = classic.messages();
  ASSERT_EQ(got.size(), 21u);  // 10 periods of 2 frames, and the sent one
  std::size_t i = 0;
  for (std::uint32_t k = 1; k <= 10; ++k) {
    if (k == 5) {
      EXPECT_EQ(got[i].id, 0x7ABu);
      EXPECT_EQ(got[i++].timestamp, (45'000'000u + 374'000 + 130'000) / 125'000);
    }
    // 270 µs for the standard frame, then 320 µs for the extended one.
    for (const auto& [id, endNs] :
         {std::pair{0x123u, 270'000u}, std::pair{0x18FEF100u, 590'000u}}) {
      SCOPED_TRACE(i);
      EXPECT_EQ(got[i].id, id);
      EXPECT_EQ(got[i].length, 8);
      EXPECT_EQ(got[i].data[0], k);
      EXPECT_EQ(got[i].data[1], 0);
      EXPECT_EQ(got[i].timestamp, (k * 10'000'000u + endNs) / 125'000);
      ++i;
    }
  }
  // The CAN FD channel also hears the FD generator: periods at 25, 45, 65, 85 ms.
  std::vector<CanMessage> fdFrames;
  for (const CanMessage& m : fd.messages())
    if (m.flags & kCanFlagFd) fdFrames.push_back(m);
  ASSERT_EQ(fdFrames.size(), 4u);
  EXPECT_EQ(fdFrames[0].length, 12);
  EXPECT_EQ(fdFrames[0].data[11], static_cast<std::uint8_t>(1 + 11));  // ramp: k + i, k = 1
  EXPECT_EQ(fdFrames[3].timestamp, (85'000'000u + 374'000) / 125'000);
}

TEST_F(VirtualBus, DefaultConfigurationHasFourChannelsOnOneBus) {
  CanIo io(3), sender(0), missing(4);
  CanControl control(L"a", io);
  Collector collector(control);
  ASSERT_TRUE(OnBus(io) && OnBus(sender));
  EXPECT_FALSE(missing.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  EXPECT_EQ(Logged(L"candriver: channel 4 is not configured"), 1u);
  ASSERT_TRUE(sender.Send(Message(0x10, {})));
  SetTime(Now() + 1'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(collector.size(), 1u);
}

// A monitor that throws on every message costs one log line a second, with the count and the
// exception's message; the reception thread goes on and the monitors after it still run.
TEST_F(VirtualBus, ThrowingMonitorIsReportedWithItsMessageOnceASecond) {
  Configure("channel 0 virtual\ngenerator default id=123 period=1ms\n");
  CanIo io(0);
  CanControl control(L"CAN 0", io);
  control.AddCanReadMonitor([](const CanMessage&) -> bool { throw std::runtime_error("boom"); });
  Collector after(control);
  ASSERT_TRUE(OnBus(io));
  for (const std::int64_t t : {1'000'500'000LL, 2'000'500'000LL, 3'000'500'000LL}) {
    SetTime(t);
    ASSERT_TRUE(WaitUntilDelivered());
  }
  EXPECT_EQ(after.size(), 3000u);
  EXPECT_EQ(Logged(L"candriver: a read monitor of 'CAN 0' threw"), 3u);
  EXPECT_EQ(Logged(L"candriver: a read monitor of 'CAN 0' threw 1 time: boom"), 1u);
  EXPECT_EQ(Logged(L"candriver: a read monitor of 'CAN 0' threw 1000 times, the last: boom"), 2u);
}

// A handle without a controller (the source module's clock handle) keeps nothing for later: a
// controller attached afterwards hears only what the bus carries from then on.
TEST_F(VirtualBus, HandleWithoutControllerKeepsNoFrames) {
  CanIo late(0), sender(1);
  ASSERT_TRUE(OnBus(late) && OnBus(sender));
  for (std::uint8_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(sender.Send(Message(0x100, {i})));
    SetTime(Now() + kOneByteNs);
  }
  detail::CanDriver::Get().Bus("default")->Statistics();  // the bus has carried all three
  CanControl control(L"late", late);
  Collector received(control);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_TRUE(received.messages().empty());
  ASSERT_TRUE(sender.Send(Message(0x100, {9})));
  SetTime(Now() + kOneByteNs);
  ASSERT_TRUE(WaitUntilDelivered());
  ASSERT_EQ(received.messages().size(), 1u);
  EXPECT_EQ(received.messages()[0].data[0], 9);
}

}  // namespace
}  // namespace driver_test
