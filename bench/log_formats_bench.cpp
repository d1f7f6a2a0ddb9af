// Reading and writing the log formats: a log of 1 M messages (classic and CAN FD, standard and
// extended, three channels, 100 µs apart) written and read in candump, ASC, BLF and TRC; the
// candump figures are the ones to compare with. Figures: messages per second (items_per_second)
// and bytes per second of the file. The files stay in $TMPDIR/canhost-log-bench/ (1M.log, 1M.asc,
// 1M.blf, 1M.trc) for timing canhost convert with /usr/bin/time -v (see the README).
//   build/release/bin/log_formats_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host/candriver/CanLogFormat.h"
#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanLogWriter.h"

namespace {

using namespace XeCanDriverKvaser;

constexpr int kMessages = 1'000'000;
constexpr std::array<const char*, 4> kExtensions = {".log", ".asc", ".blf", ".trc"};

std::filesystem::path Folder() {
  auto folder = std::filesystem::temp_directory_path() / "canhost-log-bench";
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path File(CanLogFormat format) {
  return Folder() / (std::string("1M") + kExtensions[static_cast<std::size_t>(format)]);
}

// Message i of the log: mostly 8-byte classic frames, one in eight extended, one in sixteen
// CAN FD of 32 bytes with bit-rate switch.
void Fill(CanLogEntry& e, int i) {
  static constexpr std::array<std::string_view, 3> kChannels = {"can0", "can1", "can2"};
  e.timeNs = 1'700'000'000'000'000'000 + std::int64_t{i} * 100'000;
  e.channel.assign(kChannels[static_cast<std::size_t>(i % 3)]);
  CanMessage& m = e.message;
  m = CanMessage{};
  m.id = 0x100u + static_cast<unsigned>(i % 64);
  if (i % 8 == 3) {
    m.id = 0x18FEF000u + static_cast<unsigned>(i % 256);
    m.flags = kCanFlagExtended;
  }
  m.length = 8;
  if (i % 16 == 5) {
    m.flags |= kCanFlagFd | kCanFlagBrs;
    m.length = 32;
  }
  for (int b = 0; b < m.length; ++b)
    m.data[b] = static_cast<std::uint8_t>(i >> (b % 4 * 8));
}

std::uintmax_t WriteLog(CanLogFormat format, benchmark::State* state) {
  const std::filesystem::path file = File(format);
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    if (state != nullptr) state->SkipWithError("cannot write the log");
    return 0;
  }
  const auto writer = CanLogWriter::Create(format, out, file.string());
  CanLogEntry entry;
  for (int i = 0; i < kMessages; ++i) {
    Fill(entry, i);
    writer->Write(entry);
  }
  writer->Finish();
  std::fclose(out);
  return std::filesystem::file_size(file);
}

void BM_Write(benchmark::State& state) {
  const auto format = static_cast<CanLogFormat>(state.range(0));
  std::uintmax_t bytes = 0;
  for (auto _ : state)
    bytes = WriteLog(format, &state);
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(std::string(FormatName(format)) + ", " + std::to_string(bytes >> 20) + " MiB");
}

void BM_Read(benchmark::State& state) {
  const auto format = static_cast<CanLogFormat>(state.range(0));
  if (!std::filesystem::exists(File(format))) WriteLog(format, nullptr);
  const std::uintmax_t bytes = std::filesystem::file_size(File(format));
  std::int64_t frames = 0;
  for (auto _ : state) {
    CanLogReader reader;
    if (!reader.Open(File(format))) {
      state.SkipWithError(reader.error().c_str());
      return;
    }
    CanLogEntry entry;
    frames = 0;
    while (reader.Next(entry))
      frames += entry.error.empty() ? 1 : 0;
    benchmark::DoNotOptimize(entry);
  }
  if (frames != kMessages) state.SkipWithError("the log does not read back whole");
  state.SetItemsProcessed(state.iterations() * frames);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(std::string(FormatName(format)));
}

// 0 candump, 1 ASC, 2 BLF, 3 TRC (CanLogFormat's order).
BENCHMARK(BM_Write)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
