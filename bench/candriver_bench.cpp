// Delivery throughput of the CAN driver: messages per second from a Send (or a replayed log) to
// the read monitors of the receiving controllers, through their reception threads.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "host/candriver/CanControl.h"
#include "host/candriver/CanDriver.h"
#include "host/services/HostClock.h"
#include "host/settings/SettingsFolder.h"

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

// One sender, state.range(0) receivers on the default virtual bus, 1000 messages per round.
void BM_VirtualBusDelivery(benchmark::State& state) {
  Settings settings;  // no configuration file: the default virtual bus
  ReloadConfiguration();
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
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      message.data[0] = static_cast<std::uint8_t>(i);
      sender.Send(message);
    }
    WaitUntilDelivered();
  }
  state.SetItemsProcessed(state.iterations() * 1000 * state.range(0));
  receivers.clear();
}
BENCHMARK(BM_VirtualBusDelivery)->Arg(1)->Arg(3)->UseRealTime();

// A real 12138-frame candump log replayed by one clock step per round.
void BM_ReplayDelivery(benchmark::State& state) {
  Settings settings;
  const auto log =
      std::filesystem::path(CANHOST_SHARED_DIR) / "realdata/traces/kuksa_tesla_m3_dogmode.log";
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
