// Receive path and fetch of the standard source: ns per message.
//   build/release/bin/sources_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>

#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "sources/CCanStandardSource.h"

namespace {

struct Fixture {
  Fixture() {
    folder = std::filesystem::temp_directory_path() / "canhost-sources-bench";
    std::filesystem::create_directories(folder);
    host::SetSettingsFolder(folder);
    CSeaBase::ReloadAll();
    source = std::make_unique<CCanStandardSource>(
        nullptr, 0, L"bench", -1, false, XeCanDriverKvaser::bitrate_t{-2},
        XeCanDriverKvaser::fd_arbitrationrate_t{-1000}, XeCanDriverKvaser::fd_datarate_t{-1001});
    source->set_active(true);
    message.id = 0x123;
    message.length = 8;
  }
  ~Fixture() {
    source.reset();
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  std::unique_ptr<CCanStandardSource> source;
  XeCanDriverKvaser::CanMessage message;
};

// One message of an identifier already seen: statistics lookup, count, queue append.
void BM_OnFilteredMessageKnownId(benchmark::State& state) {
  Fixture f;
  std::size_t n = 0;
  for (auto _ : state) {
    f.message.timestamp = static_cast<std::uint32_t>(n);
    benchmark::DoNotOptimize(f.source->on_filtered_message(f.message));
    if (++n % 4096 == 0) f.source->fetch();  // keep the queue at a frame's size
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(n));
}
BENCHMARK(BM_OnFilteredMessageKnownId);

// fetch of a queue of state.range(0) messages: the cost per message handed to the module. The
// queue holds at most kMaxQueued messages; the figure counts the messages each fetch really handed
// over, and a run whose queue did not hold them all is an error rather than a faster figure.
void BM_FetchFullQueue(benchmark::State& state) {
  Fixture f;
  const auto count = static_cast<std::size_t>(state.range(0));
  std::int64_t fetched = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i < count; ++i)
      f.source->on_filtered_message(f.message);
    state.ResumeTiming();
    benchmark::DoNotOptimize(f.source->fetch());
    benchmark::DoNotOptimize(f.source->batch().data());
    if (f.source->batch().size() != count) {
      state.SkipWithError("the queue did not hold every message");
      break;
    }
    fetched += static_cast<std::int64_t>(count);
  }
  state.SetItemsProcessed(fetched);
}
BENCHMARK(BM_FetchFullQueue)->Arg(1000)->Arg(static_cast<std::int64_t>(CCanSource::kMaxQueued));

}  // namespace

BENCHMARK_MAIN();
