// CCanSink::process on a frame full of packets, decoded with a real DBC file: every message of
// the file in turn with random payloads, packed back to back over the frame's 100 slow samples
// (several a slow sample: each signal's second value of a slow sample takes the recorded-only
// path). Figures: packets per second (items), and allocations per packet, which must be 0.
//   build/release/bin/sink_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>

#include "frame/CanBusSource.h"
#include "host/cananalysis/DbcLoadedFile.h"
#include "host/services/HostClock.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "host/slowsampling/CSourceInfo.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"
#include "tests/support/TestPaths.h"

namespace {
std::atomic<std::uint64_t> g_allocations{0};
}  // namespace

// The replacement pair is malloc/free on both sides; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

constexpr unsigned kRows = 100;
constexpr unsigned kYDims = 20;  // 80 bytes a row: room for a 64-byte CAN FD packet

class BenchSource : public SlowSampling::CAsyncSource, public CanBusSource {
 public:
  BenchSource() : CAsyncSource(nullptr, L"bench") {
    SlowSampling::CSourceInfo::SourceInfo().signin(this);
  }
  int bus_channel() const noexcept override { return 0; }
};

void BM_SinkProcess(benchmark::State& state) {
  const std::filesystem::path dbc = testing_support::SharedDir() / "dbc/vw_mqbevo_norm.dbc";
  if (!std::filesystem::exists(dbc)) {
    state.SkipWithError(("missing " + dbc.string()).c_str());
    return;
  }
  const auto folder = std::filesystem::temp_directory_path() / "canhost-sink-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  host::SetSettingsFolder(folder);
  CSeaBase::ReloadAll();
  host::ScopedManualClock clock(1'000'000'000);
  // 1: every signal of the file is recorded (--all-signals); 0: the file as it is, whose signals
  // deliver no application signal, so the sink's cost is parsing and decoding alone.
  XeCanAnalysis::CDbcDecoder::AssignUnassigned(state.range(0) != 0);
  BenchSource source;
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  sink.add_src(&source);
  sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder))
      ->SetDbcXmlFilename(CString(dbc.wstring().c_str()));
  sink.sync_signals();
  sink.update_container();

  std::string error;
  const auto file = XeCanAnalysis::DbcLoadedFile::Load(CString(dbc.wstring().c_str()), error);
  std::vector<std::uint32_t> block(std::size_t{kRows} * kYDims + 1, 0);
  auto* bytes = reinterpret_cast<std::uint8_t*>(block.data());
  std::mt19937 random(7);
  std::size_t message = 0, pos = 0, packets = 0;
  const std::size_t size = block.size() * 4 - 4;
  for (;;) {
    const auto& m = file->database.messages[message++ % file->database.messages.size()];
    if (pos + can::PacketSize(m.length) >= size) break;
    std::uint8_t data[64];
    for (auto& b : data)
      b = static_cast<std::uint8_t>(random());
    ++packets;
    pos += can::WritePacket(bytes + pos, 0, m.length, m.CanId(), data);
  }
  const CDescriptionInterface view(block.data(), CXChannelDescriptionInterface(0.001, kRows),
                                   kYDims, CYChannelDescriptionInterface(8));
  for (int i = 0; i < 3; ++i)  // the lists size their storage
    sink.process(view, source.id());
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state)
    sink.process(view, source.id());
  const auto decoded = static_cast<double>(state.iterations()) * static_cast<double>(packets);
  state.SetItemsProcessed(static_cast<std::int64_t>(decoded));
  state.counters["allocations_per_packet"] =
      static_cast<double>(g_allocations.load() - before) / decoded;
  XeCanAnalysis::CDbcDecoder::AssignUnassigned(false);
  host::SetSettingsFolder({});
}
BENCHMARK(BM_SinkProcess)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
