// The source module's per-frame capture path (fetch, merge, fill) under full load: 1, 4 and 16
// channels at 1 Mbit/s, each carrying 700 eight-byte messages per 100 ms frame, spread over the
// frame. Figures: ns per message (the time per iteration / items) and messages per second.
//   build/release/bin/capture_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "host/candriver/CanDriver.h"
#include "host/services/Host.h"
#include "host/services/HostClock.h"
#include "host/settings/SettingsFolder.h"
#include "host/slowsampling/CSourceDriver.h"
#include "source/CCanSourceModule.h"
#include "sources/CCanStandardSource.h"

namespace {

using namespace XeCanDriverKvaser;

constexpr int kPerChannel = 700;
constexpr std::int64_t kFrameNs = 100'000'000;

void BM_CaptureFrame(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const auto folder = std::filesystem::temp_directory_path() / "canhost-capture-bench";
  std::filesystem::create_directories(folder);
  {
    std::ofstream conf(folder / "candriver.conf");
    for (int c = 0; c < channels; ++c)
      conf << "channel " << c << " virtual\n";
  }
  host::ScopedHost scope;  // seas, sync and clock of its own for each channel count
  host::SetSettingsFolder(folder);
  ReloadConfiguration();
  host::ScopedManualClock clock;
  {
    CCanSourceModule module;
    SlowSampling::CSourceDriver driver;
    driver.attach(&module);
    std::vector<CCanStandardSource*> sources;
    sources.reserve(static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c)
      sources.push_back(static_cast<CCanStandardSource*>(
          module.create(0, L"bench", c, false, BITRATE_1M, FD_ARBITRATION_1M, FD_DATA_1M, true)));
    driver.configure(0.001F, 100);
    driver.start();
    CanMessage m;
    m.length = 8;
    std::int64_t frameStart = 0;
    std::int64_t messages = 0;
    for (auto _ : state) {
      state.PauseTiming();
      for (int i = 0; i < kPerChannel; ++i) {
        m.timestamp =
            static_cast<std::uint32_t>((frameStart + kFrameNs * i / kPerChannel) / 125'000);
        for (int c = 0; c < channels; ++c) {
          m.id = static_cast<std::uint32_t>(0x100 + c);
          m.channel = c;
          sources[static_cast<std::size_t>(c)]->on_filtered_message(m);
        }
      }
      frameStart += kFrameNs;
      clock.clock().set_ns(frameStart);
      state.ResumeTiming();
      driver.run_frame();
      messages += static_cast<std::int64_t>(kPerChannel) * channels;
    }
    state.SetItemsProcessed(messages);
    std::uint64_t delivered = 0;
    for (const auto& row : module.statistics())
      delivered += row.delivered;
    state.counters["delivered_per_frame"] =
        static_cast<double>(delivered) / static_cast<double>(state.iterations());
    driver.stop();
    for (auto* s : sources)
      module.remove_source(s);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CaptureFrame)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
