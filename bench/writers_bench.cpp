// The writers of canhost's recordings, in rows (lines) per second, each into a null device (a
// mknod copy in the temp folder, so the figure is formatting and writing, not the disk):
//   BM_DecodeCsv/<dbc>  `canhost dbc decode`'s rows: frames of every message of a real DBC file
//                       (../shared/dbc, the normalised files and the Ford file) with random
//                       payloads, decoded and written (DecodeCsv + CsvWriter)
//   BM_SignalCsv        --signals: a frame of 100 slow samples with a value of each of two
//                       signals in every sample (SignalRecorder::AddFrame, one write per frame)
//   BM_CaptureLog/N     --capture as candump: a frame of N packets (CaptureWriter::AddFrame)
//
//   build/release/bin/writers_bench --benchmark_min_time=0.5
//   build/release/bin/writers_bench --write-log=OUT --dbc=FILE [--messages=N] [--spacing-us=U]
// The second form writes the candump log the command-line figures of `canhost dbc decode` and
// `canhost run --replay` are taken with (GeneratedLog.h; 1 M messages 250 us apart by default).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/CaptureWriter.h"
#include "app/DecodeCsv.h"
#include "app/SignalRecorder.h"
#include "bench/GeneratedLog.h"
#include "frame/CanPacket.h"
#include "host/cananalysis/DbcParser.h"
#include "tests/app/FilledSink.h"

namespace {

using XeCanDriverKvaser::CanLogEntry;

// A character device that discards what is written, in a folder of its own.
const std::filesystem::path& NullDevice() {
  static const std::filesystem::path path = [] {
    const auto dir = std::filesystem::temp_directory_path() / "canhost-writers-bench";
    std::filesystem::create_directories(dir);
    auto file = dir / "null";
    if (!std::filesystem::exists(file)) ::mknod(file.c_str(), S_IFCHR | 0666, makedev(1, 3));
    return file;
  }();
  return path;
}

std::vector<CanLogEntry> Frames(const XeCanAnalysis::DbcDatabase& db, std::size_t count) {
  std::mt19937_64 rng(7);
  std::vector<CanLogEntry> frames(count);
  for (std::size_t k = 0; k < count; ++k) {
    const auto& m = db.messages[k % db.messages.size()];
    CanLogEntry& e = frames[k];
    e.timeNs = 1'700'000'000'000'000'000 + static_cast<std::int64_t>(k) * 250'000;
    e.channel = "can0";
    e.message.id = m.id;
    if (m.extended) e.message.flags |= XeCanDriverKvaser::kCanFlagExtended;
    e.message.length = m.length;
    for (auto& byte : e.message.data)
      byte = static_cast<std::uint8_t>(rng());
  }
  return frames;
}

void BM_DecodeCsv(benchmark::State& state, const std::string& dbcName) {
  const std::string path = std::string(CANHOST_SHARED_DIR) + "/dbc/" + dbcName;
  XeCanAnalysis::DbcDatabase db;
  std::string error;
  if (!std::filesystem::exists(path) || !XeCanAnalysis::DbcParser::ParseFile(path, db, error)) {
    state.SkipWithError((path + ": missing or unreadable " + error).c_str());
    return;
  }
  const std::vector<CanLogEntry> frames = Frames(db, 4096);
  std::FILE* out = std::fopen(NullDevice().c_str(), "w");
  app::CsvWriter csv(out);
  app::DecodeCsv rows(db, csv);
  std::int64_t values = 0;
  for (auto _ : state)
    for (const CanLogEntry& frame : frames)
      values += rows.Frame(frame);
  csv.Finish();
  std::fclose(out);
  state.SetItemsProcessed(values);
  state.counters["rows_per_frame"] =
      static_cast<double>(values) / static_cast<double>(state.iterations() * frames.size());
}

void BM_SignalCsv(benchmark::State& state) {
  testing_support::Source source;
  testing_support::FilledSink sink(source);
  app::SignalRecorder recorder(0.001, 100);
  std::string error;
  if (!recorder.Open(NullDevice(), error) || !recorder.Begin(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::uint64_t frame = 0;
  for (auto _ : state) {
    sink.ClearValues(source);
    for (std::uint32_t sample = 0; sample < 100; ++sample) {
      sink.Put(source, 1, sample, 40.0 + static_cast<double>((frame + sample) % 7));
      sink.Put(source, 3, sample, 80.0 + 0.125 * static_cast<double>((frame * 100 + sample) % 97));
    }
    recorder.AddFrame(frame++, sink);
  }
  std::uint64_t rows = 0;
  for (const auto& signal : recorder.Signals())
    rows += signal.values;
  recorder.Close(error);
  state.SetItemsProcessed(static_cast<std::int64_t>(rows));
}
BENCHMARK(BM_SignalCsv);

void BM_CaptureLog(benchmark::State& state) {
  constexpr unsigned kFloatsPerSample = 256;  // 1 KiB per slow sample
  constexpr unsigned kSamples = 100;
  const auto packets = static_cast<std::size_t>(state.range(0));
  std::vector<float> region(std::size_t{kFloatsPerSample} * kSamples, 0.0F);
  auto* bytes = reinterpret_cast<std::uint8_t*>(region.data());
  std::uint8_t data[can::kMaxPacketData] = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::size_t stride = region.size() * 4 / packets / 16 * 16;
  for (std::size_t i = 0; i < packets; ++i)
    can::WritePacket(bytes + i * stride, static_cast<int>(i % 16), 8,
                     (i % 4 == 3 ? 0x98FEF100U : 0x100U) + static_cast<std::uint32_t>(i % 16),
                     data);
  app::CaptureWriter writer(0.001, kSamples);
  std::string error;
  if (!writer.Open(NullDevice(), error) || !writer.Begin(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::uint64_t frame = 0;
  for (auto _ : state)
    writer.AddFrame(frame++, region, kFloatsPerSample);
  state.SetItemsProcessed(static_cast<std::int64_t>(writer.messages()));
  writer.Close(error);
}
BENCHMARK(BM_CaptureLog)->Arg(400)->Arg(4000);

}  // namespace

int main(int argc, char** argv) {
  if (const int code = bench::WriteDbcLogMain(argc, argv); code >= 0) return code;
  for (const char* dbc :
       {"tesla_can_norm.dbc", "vw_mqbevo_norm.dbc", "vw_pq_norm.dbc", "ford_lincoln_base_pt.dbc"})
    benchmark::RegisterBenchmark((std::string("BM_DecodeCsv/") + dbc).c_str(), BM_DecodeCsv,
                                 std::string(dbc));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
