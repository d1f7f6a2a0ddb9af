// The behaviour every backend shares, run on each backend that can run here: the virtual bus
// (messages sent from a second channel) and the log replay (the same messages from a log).
#include <array>
#include <cstring>
#include <set>

#include "host/candriver/CandumpFormat.h"
#include "host/candriver/ChannelClock.h"
#include "host/services/CThreadControllerRegistry.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

struct Frame {
  std::int64_t atNs;  // after going on bus; multiples of 125 µs so a log can hold them exactly
  CanMessage message;
};

std::vector<Frame> Frames() {
  std::vector<std::uint8_t> twelve;
  for (std::uint8_t i = 0; i < 12; ++i)
    twelve.push_back(static_cast<std::uint8_t>(0xA0 + i));
  return {
      {0, Message(0x123, {0xDE, 0xAD, 0xBE, 0xEF})},
      {1'500'000, Message(0x18FEF100, {1, 2, 3, 4, 5, 6, 7, 8}, kCanFlagExtended)},
      {1'625'000, Message(0x200, twelve, kCanFlagFd | kCanFlagBrs)},
      {1'625'000, Message(0x7FF, {})},
      {250'000'000, Message(0x001, {0x55})},
  };
}

// Receiving channel 0 has a clock of its own on every backend.
const detail::ChannelClock kClock{1000, 50'000};

struct VirtualBackend {
  static std::string Config() {
    return "channel 0 virtual offset=1000 drift=50\nchannel 1 virtual\n";
  }
  void Prepare(const std::filesystem::path&) {}
  void OnBus() {
    ASSERT_TRUE(sender.Open(true, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
    ASSERT_TRUE(sender.GoOnBus());
  }
  void Produce(const Frame& frame) { EXPECT_TRUE(sender.Send(frame.message)); }
  // A frame arrives when its transmission at 500 kbit/s (2 Mbit/s data) ends: 190 µs for 0x123;
  // 320 µs for the extended frame, which still holds the bus when 0x200 (144.5 µs) and 0x7FF
  // (110 µs) are sent, so these follow it in priority order.
  static std::int64_t ArrivalNs(std::size_t i) {
    constexpr std::array<std::int64_t, 5> kArrival = {190'000, 1'820'000, 1'964'500, 2'074'500,
                                                      250'130'000};
    return kArrival[i];
  }
  CanIo sender{1};
};

struct ReplayBackend {
  static std::string Config() { return "channel 0 replay file=frames.log offset=1000 drift=50\n"; }
  // The frames as a candump log whose times start at an arbitrary second.
  void Prepare(const std::filesystem::path& dir) {
    std::string log;
    for (const Frame& f : Frames()) {
      std::array<char, kCandumpLineCapacity> line;
      log.append(line.data(), FormatCandump(line, 1'000'000'000'000 + f.atNs, "can0", f.message));
    }
    testing_support::WriteFile(dir / "frames.log", log);
  }
  void OnBus() {}
  void Produce(const Frame&) {}  // the log plays as the clock passes
  // At its logged time; of the two logged at one time, 0x7FF once the wire has carried it after
  // 0x200 (47 bits without stuff bits at 500 kbit/s: 94 µs).
  static std::int64_t ArrivalNs(std::size_t i) { return Frames()[i].atNs + (i == 3 ? 94'000 : 0); }
};

template <class Backend>
class BackendTest : public DriverFixture {
 protected:
  BackendTest() {
    Configure(Backend::Config());
    backend.Prepare(m_dir.path());
    SetTime(7'000'000'000);
  }
  bool StartFd(CanControl& control) {
    return control.Start(true, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M);
  }
  // Steps the clock through the frames' times and their arrivals: a frame is produced at its
  // time; 1 ns before its arrival it has not come, at its arrival it has.
  void PlayAll(Collector& collector, std::int64_t start, std::size_t before) {
    const auto frames = Frames();
    std::set<std::int64_t> times;
    for (std::size_t i = 0; i < frames.size(); ++i)
      times.insert({start + frames[i].atNs, start + Backend::ArrivalNs(i) - 1,
                    start + Backend::ArrivalNs(i)});
    std::size_t produced = 0;
    for (const std::int64_t t : times) {
      if (t < Now()) continue;
      SetTime(t);
      for (; produced < frames.size() && start + frames[produced].atNs == t; ++produced)
        backend.Produce(frames[produced]);
      ASSERT_TRUE(WaitUntilDelivered());
      std::size_t arrived = 0;
      for (std::size_t i = 0; i < frames.size(); ++i)
        arrived += start + Backend::ArrivalNs(i) <= t;
      EXPECT_EQ(collector.size(), before + arrived) << "at " << t - start << " ns";
    }
  }

  Backend backend;
};

TYPED_TEST_SUITE_P(BackendTest);

TYPED_TEST_P(BackendTest, DeliversEveryFrameInOrderWithChannelTimestamps) {
  CanIo io(0);
  CanControl control(L"Source A", io);
  Collector collector(control);
  ASSERT_TRUE(this->StartFd(control));
  ASSERT_TRUE(control.GoOnBus());
  this->backend.OnBus();
  const std::int64_t start = this->Now();
  this->PlayAll(collector, start, 0);

  const auto frames = Frames();
  const auto got = collector.messages();
  ASSERT_EQ(got.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const CanMessage& want = frames[i].message;
    EXPECT_EQ(got[i].id, want.id);
    EXPECT_EQ(got[i].length, want.length);
    EXPECT_EQ(got[i].flags & (kCanFlagExtended | kCanFlagFd | kCanFlagBrs), want.flags);
    EXPECT_EQ(0, std::memcmp(got[i].data, want.data, 64));
    EXPECT_EQ(got[i].channel, 0);
    EXPECT_EQ(got[i].timestamp, kClock.TicksAt(start + TypeParam::ArrivalNs(i)));
    EXPECT_EQ(got[i].tail, 0);
  }
  for (const auto& id : collector.threads())
    EXPECT_EQ(id, control.ReceptionThread().get_id());
}

TYPED_TEST_P(BackendTest, FollowsTheHandleAndBusStates) {
  CanIo io(0);
  EXPECT_EQ(io.state, 0);
  EXPECT_FALSE(io.GoOnBus());
  EXPECT_FALSE(io.Open(false, bitrate_t{-12}, FD_ARBITRATION_500K, FD_DATA_2M));
  EXPECT_EQ(this->Logged(L"candriver: channel 0: unsupported bit rate code -12"), 1u);

  CanControl control(L"Source A", io);
  Collector collector(control);
  ASSERT_TRUE(this->StartFd(control));
  EXPECT_EQ(io.state, 1);
  EXPECT_EQ(control.busState, 0);
  ASSERT_TRUE(control.GoOnBus());
  EXPECT_EQ(io.state, 2);
  EXPECT_EQ(control.busState, 1);
  EXPECT_EQ(io.TimeStamp(), static_cast<std::int32_t>(kClock.TicksAt(this->Now())));
  this->backend.OnBus();
  this->PlayAll(collector, this->Now(), 0);
  const std::size_t all = collector.size();

  // Off bus nothing arrives, whatever the time.
  EXPECT_TRUE(control.GoOffBus());
  EXPECT_EQ(io.state, 1);
  EXPECT_EQ(control.busState, 0);
  this->SetTime(this->Now() + 1'000'000'000);
  this->backend.Produce(Frames()[0]);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_EQ(collector.size(), all);

  // Back on bus (after that frame has left the bus) the traffic starts again (a log from its
  // start).
  this->SetTime(this->Now() + 1'000'000'000);
  ASSERT_TRUE(control.GoOnBus());
  this->PlayAll(collector, this->Now(), all);
  EXPECT_EQ(collector.size(), 2 * all);

  control.Stop();
  EXPECT_EQ(io.state, 0);
  EXPECT_EQ(control.busState, 0);
}

TYPED_TEST_P(BackendTest, MonitorsRunInOrderOnTheRegisteredReceptionThread) {
  CanIo io(0);
  CanControl control(L"Source A", io);
  auto& registry = CThreadControllerRegistry::Object();
  registry.Register(control.ReceptionThread(), control.Name());
  EXPECT_EQ(registry.Name(control.ReceptionThread().get_id()), L"Source A");

  Collector first(control);
  control.AddCanReadMonitor([](const CanMessage& m) { return m.id != 0x123; });  // hides 0x123
  Collector last(control);
  ASSERT_TRUE(this->StartFd(control));
  ASSERT_TRUE(control.GoOnBus());
  this->backend.OnBus();
  this->PlayAll(first, this->Now(), 0);
  EXPECT_EQ(first.size(), Frames().size());
  EXPECT_EQ(last.size(), Frames().size() - 1);

  registry.Release(control.ReceptionThread());
  EXPECT_EQ(registry.Name(control.ReceptionThread().get_id()), L"");
}

REGISTER_TYPED_TEST_SUITE_P(BackendTest, DeliversEveryFrameInOrderWithChannelTimestamps,
                            FollowsTheHandleAndBusStates,
                            MonitorsRunInOrderOnTheRegisteredReceptionThread);

struct Names {
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, VirtualBackend> ? "Virtual" : "Replay";
  }
};
using Backends = ::testing::Types<VirtualBackend, ReplayBackend>;
INSTANTIATE_TYPED_TEST_SUITE_P(All, BackendTest, Backends, Names);

}  // namespace
}  // namespace driver_test
