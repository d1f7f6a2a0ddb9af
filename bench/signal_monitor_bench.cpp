// What the live signal view costs the processing thread per frame: SignalMonitor::AddFrame takes
// one frame's values (10 per signal) and publishes a new snapshot holding each signal's recent
// window, full after the warm-up. Figure: time per frame for 2, 32 and 128 signals (a frame lasts
// 100 ms by default, so 1 ms is 1 % of the processing thread).
//   build/release/bin/signal_monitor_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/SignalMonitor.h"
#include "tests/app/FilledSink.h"

namespace {

void BM_MonitorFrame(benchmark::State& state) {
  const auto sources = static_cast<std::size_t>(state.range(0));
  std::vector<std::unique_ptr<testing_support::Source>> owned;
  owned.push_back(std::make_unique<testing_support::Source>(L"CAN 0"));
  testing_support::FilledSink sink(*owned[0]);
  for (std::size_t i = 1; i < sources; ++i) {
    owned.push_back(std::make_unique<testing_support::Source>(L"CAN 1"));
    sink.Add(*owned.back());
  }
  app::SignalMonitor monitor(0.001, 100);
  std::uint64_t frame = 0;
  const auto fill = [&] {
    for (const auto& source : owned) {
      for (const int signal : {1, 3}) {
        CFueGroeListeBasis& list = sink.List(*source, signal);
        list.clear();
        for (int k = 0; k < 10; ++k)
          list.append(10, static_cast<float>(frame % 1000 + 1));
      }
    }
  };
  for (; frame < 700; ++frame) {
    fill();
    monitor.AddFrame(frame, sink);
  }
  for (auto _ : state) {
    fill();
    monitor.AddFrame(frame++, sink);
    benchmark::DoNotOptimize(monitor.Snapshot());
  }
  state.counters["signals"] = static_cast<double>(monitor.Snapshot()->rows.size());
}
BENCHMARK(BM_MonitorFrame)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
