// canhost plot's reading of a --signals file (SignalCsvReader): 10 million rows of five signals
// as canhost run writes them (about 480 MB), clean, with every signal name quoted, and with a
// stray quote: in the first row (a field that never closes: reported once it outgrows the
// longest record), and in the last row (every row is read before the open field is reported).
// Reading must stay linear: the figure is rows per second, and a file twice as long takes twice
// as long. CANHOST_PLOT_ROWS changes the number of rows; the files go to the temp folder and are
// removed after each benchmark.
//   build/release/bin/signal_csv_bench
//   CANHOST_PLOT_ROWS=20000000 build/release/bin/signal_csv_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/SignalCsvReader.h"

namespace {

enum Variant : int { kClean, kQuoted, kStrayFirst, kStrayLast };

std::size_t Rows() {
  const char* text = std::getenv("CANHOST_PLOT_ROWS");
  return text != nullptr ? std::stoull(text) : std::size_t{10'000'000};
}

// Writes the file of `rows` rows of the variant; its path.
std::filesystem::path WriteRows(Variant variant, std::size_t rows) {
  static const std::vector<std::pair<std::string, std::string>> kSignals = {
      {"Engine speed", "1/min"},
      {"Vehicle speed", "km/h"},
      {"Coolant temperature", "°C"},
      {"Throttle position", "%"},
      {"Ambient temperature", "°C"}};
  // Named by the process as well: two runs at once (a smoke test beside a measurement) must not
  // write each other's files.
  auto file = std::filesystem::temp_directory_path() /
              ("canhost-signal-csv-bench-" + std::to_string(::getpid()) + "-" +
               std::to_string(variant) + ".csv");
  std::ofstream out(file, std::ios::binary);
  std::string block = "time,signal,value,unit\n";
  char number[64];
  for (std::size_t i = 0; i < rows; ++i) {
    const auto& [name, unit] = kSignals[i % kSignals.size()];
    const bool stray =
        (variant == kStrayFirst && i == 0) || (variant == kStrayLast && i + 1 == rows);
    std::snprintf(number, sizeof number, "%.17g,", static_cast<double>(i) * 0.001);
    block += number;
    if (variant == kQuoted)
      block += "\"" + name + ", \"\"front\"\"\"";
    else
      block += (stray ? "\"" : "") + name;
    std::snprintf(number, sizeof number, ",%.17g,", static_cast<double>(i % 977) * 1.5);
    block += number;
    block += unit;
    block += '\n';
    if (block.size() > (1u << 20)) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return file;
}

void BM_ReadSignals(benchmark::State& state) {
  const auto variant = static_cast<Variant>(state.range(0));
  const std::size_t rows = Rows();
  const auto file = WriteRows(variant, rows);
  const bool fails = variant == kStrayFirst || variant == kStrayLast;
  for (auto _ : state) {
    std::vector<ui::PlotSeries> series;
    std::string error;
    const bool ok = app::SignalCsvReader::Read(file, series, error);
    if (ok == fails)
      state.SkipWithError(error.empty() ? "read although it should not" : error.c_str());
    benchmark::DoNotOptimize(series);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(rows));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(file)));
  std::filesystem::remove(file);
}
BENCHMARK(BM_ReadSignals)
    ->ArgName("variant")  // 0 clean, 1 quoted, 2 stray quote in the first row, 3 in the last
    ->Arg(kClean)
    ->Arg(kQuoted)
    ->Arg(kStrayFirst)
    ->Arg(kStrayLast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
