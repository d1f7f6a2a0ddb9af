// Delivery throughput of the CAN driver: messages per second from a Send, a traffic generator or
// a replayed log to the read monitors of the receiving controllers, through their reception
// threads. The virtual bus runs on a manual clock, so a figure is host work, not bus time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanControl.h"
#include "host/candriver/CanDriver.h"
#include "host/services/HostClock.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace XeCanDriverKvaser;

// An empty settings folder for the driver configuration, removed afterwards.
struct Settings {
  Settings() {
    char pattern[] = "/tmp/canhost-bench-XXXXXX";
    folder = mkdtemp(pattern);
    host::SetSettingsFolder(folder);
  }
  ~Settings() {
    host::SetSettingsFolder({});
    std::filesystem::remove_all(folder);
  }
  void Write(const std::string& config) {
    std::ofstream(folder / "candriver.conf") << config;
    ReloadConfiguration();
  }
  std::filesystem::path folder;
};

struct Receiver {
  explicit Receiver(int channel) : io(channel), control(L"bench", io) {
    control.AddCanReadMonitor([this](const CanMessage& m) {
      received.fetch_add(1, std::memory_order_relaxed);
      benchmark::DoNotOptimize(m.data[0]);
      return true;
    });
  }
  CanIo io;
  CanControl control;
  std::atomic<std::int64_t> received{0};
};

// One sender, state.range(0) receivers on the default virtual bus; per round the sender fills its
// transmit queue (64 frames) and the manual clock moves on until the bus has carried them.
void BM_VirtualBusDelivery(benchmark::State& state) {
  Settings settings;  // no configuration file: the default virtual bus
  ReloadConfiguration();
  host::ScopedManualClock clock;
  CanIo sender(0);
  sender.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M);
  sender.GoOnBus();
  std::vector<std::unique_ptr<Receiver>> receivers;
  for (int i = 1; i <= state.range(0); ++i) {
    receivers.push_back(std::make_unique<Receiver>(i));
    receivers.back()->control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M);
    receivers.back()->control.GoOnBus();
  }
  CanMessage message;
  message.id = 0x123;
  message.length = 8;
  std::int64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < 64; ++i) {
      message.data[0] = static_cast<std::uint8_t>(i);
      sent += sender.Send(message) ? 1 : 0;
    }
    clock.advance_ns(std::int64_t{64} * 270'000);  // 64 frames of 270 µs
    WaitUntilDelivered();
  }
  state.SetItemsProcessed(sent * state.range(0));
  receivers.clear();
}
BENCHMARK(BM_VirtualBusDelivery)->Arg(1)->Arg(3)->UseRealTime();

// A bus kept full by a generator far faster than it (16 identifiers every 10 µs) at 1 Mbit/s,
// heard by state.range(0) receivers; each round is 100 ms of bus time.
void BM_SaturatedBus(benchmark::State& state) {
  Settings settings;
  std::string config;
  for (int i = 0; i < state.range(0); ++i)
    config += "channel " + std::to_string(i) + " virtual\n";
  settings.Write(config +
                 "generator default id=100,101,102,103,104,105,106,107,108,109,10A,10B,"
                 "10C,10D,10E,10F period=10us\n");
  host::ScopedManualClock clock;
  std::vector<std::unique_ptr<Receiver>> receivers;
  for (int i = 0; i < state.range(0); ++i) {
    receivers.push_back(std::make_unique<Receiver>(i));
    receivers.back()->control.Start(false, BITRATE_1M, FD_ARBITRATION_1M, FD_DATA_1M);
    receivers.back()->control.GoOnBus();
  }
  for (auto _ : state) {
    clock.advance_ns(100'000'000);
    WaitUntilDelivered();
  }
  std::int64_t frames = 0;
  for (const auto& r : receivers)
    frames += r->received.load();
  state.SetItemsProcessed(frames);
  receivers.clear();
}
BENCHMARK(BM_SaturatedBus)->Arg(1)->Arg(16)->UseRealTime();

// A real 12138-frame candump log replayed by one clock step per round.
void BM_ReplayDelivery(benchmark::State& state) {
  Settings settings;
  const auto log = testing_support::SharedDir() / "realdata/traces/kuksa_tesla_m3_dogmode.log";
  settings.Write("channel 0 replay file=\"" + log.string() + "\"\n");
  host::ScopedManualClock clock;
  Receiver receiver(0);
  receiver.control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M);
  std::int64_t frames = 0;
  for (auto _ : state) {
    receiver.control.GoOnBus();
    clock.advance_ns(3'600'000'000'000);  // an hour: the whole log is due
    WaitUntilDelivered();
    receiver.control.GoOffBus();
  }
  frames = receiver.received.load();
  state.SetItemsProcessed(frames);
}
BENCHMARK(BM_ReplayDelivery)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
