// Loading a DBC file and decoding frames with it.
//
//   dbc_decode_bench [--dbc=FILE --frames=FILE] [benchmark options]
//   dbc_decode_bench --dbc=FILE --write-frames=OUT [--per-message=N]
//
// Without --dbc the two reference files of ../shared/dbc are measured, each with a frames file of
// random payloads for every message (fixed seed), written to the temp folder first.
// Frames file: one frame per line, "<id> <length> <data>", id in hex with bit 31 set for extended
// frames, length in decimal, data as hex bytes without separators:
//   80000123 8 0102030405060708   -> extended 0x123, 8 bytes
//   1A0 2 FF00                    -> standard 0x1A0, 2 bytes
// Figures: BM_DbcLoad time = load (parse + prepare) time; BM_DbcDecode reports time_per_frame and
// time_per_signal (decoded signals) besides frames per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/cananalysis/DbcParser.h"
#include "tests/support/TestPaths.h"

namespace {

using namespace XeCanAnalysis;

struct Frame {
  std::uint32_t id;
  int length;
  std::uint8_t data[64];
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFrames(const std::string& dbcPath, const std::string& out, int perMessage) {
  DbcDatabase db;
  std::string error;
  if (!DbcParser::ParseFile(dbcPath, db, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  std::mt19937 rng(12345);
  std::ofstream file(out);
  for (int round = 0; round < perMessage; ++round)
    for (const auto& m : db.messages) {
      char head[32];
      std::snprintf(head, sizeof head, "%X %d ", m.CanId(), m.length);
      file << head;
      for (int i = 0; i < m.length; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned>(rng() & 0xFF));
        file << byte;
      }
      file << '\n';
    }
  return static_cast<bool>(file);
}

std::vector<Frame> ReadFrames(const std::string& path) {
  std::vector<Frame> frames;
  std::istringstream in(ReadAll(path));
  std::string id, hex;
  int length = 0;
  while (in >> id >> length) {
    Frame f{};
    f.id = static_cast<std::uint32_t>(std::stoul(id, nullptr, 16));
    f.length = length;
    if (length > 0) in >> hex;
    for (int i = 0; i < length && 2 * i + 1 < static_cast<int>(hex.size()); ++i)
      f.data[i] = static_cast<std::uint8_t>(
          std::stoul(hex.substr(2 * static_cast<std::size_t>(i), 2), nullptr, 16));
    frames.push_back(f);
  }
  return frames;
}

void BM_DbcLoad(benchmark::State& state, const std::string& dbcPath) {
  const std::string text = ReadAll(dbcPath);
  for (auto _ : state) {
    DbcDatabase db = DbcParser::Parse(text);
    DbcFrameDecoder decoder(db);
    benchmark::DoNotOptimize(decoder);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_DbcDecode(benchmark::State& state, const std::string& dbcPath,
                  const std::string& framesPath) {
  const DbcDatabase db = DbcParser::Parse(ReadAll(dbcPath));
  const DbcFrameDecoder decoder(db);
  const std::vector<Frame> frames = ReadFrames(framesPath);
  std::int64_t signals = 0;
  for (const auto& f : frames)
    signals += decoder.Decode(f.id, f.data, f.length, [](std::uint32_t, double) {});
  double sum = 0.0;
  for (auto _ : state) {
    for (const auto& f : frames)
      decoder.Decode(f.id, f.data, f.length, [&](std::uint32_t, double v) { sum += v; });
    benchmark::DoNotOptimize(sum);
  }
  const auto n = static_cast<std::int64_t>(frames.size());
  state.SetItemsProcessed(state.iterations() * n);
  using C = benchmark::Counter;
  state.counters["time_per_frame"] =
      C(static_cast<double>(n), C::kIsIterationInvariantRate | C::kInvert);
  state.counters["time_per_signal"] =
      C(static_cast<double>(signals), C::kIsIterationInvariantRate | C::kInvert);
  state.counters["signals_per_frame"] = static_cast<double>(signals) / static_cast<double>(n);
}

std::string Option(int& argc, char** argv, const char* name) {
  const std::size_t len = std::strlen(name);
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], name, len) == 0 && argv[i][len] == '=') {
      std::string value = argv[i] + len + 1;
      for (int k = i; k + 1 < argc; ++k)
        argv[k] = argv[k + 1];
      --argc;
      return value;
    }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dbc = Option(argc, argv, "--dbc");
  const std::string frames = Option(argc, argv, "--frames");
  const std::string writeFrames = Option(argc, argv, "--write-frames");
  const std::string perMessage = Option(argc, argv, "--per-message");
  if (!writeFrames.empty())
    return WriteFrames(dbc, writeFrames, perMessage.empty() ? 4 : std::stoi(perMessage)) ? 0 : 1;

  std::vector<std::pair<std::string, std::string>> runs;  // dbc, frames
  if (!dbc.empty()) {
    runs.emplace_back(dbc, frames);
  } else {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    for (const char* name : {"ford_lincoln_base_pt", "vw_pq_norm"}) {
      const std::string path = (testing_support::SharedDir() / "dbc" / name).string() + ".dbc";
      const std::string out = (dir / (std::string("canhost-bench-") + name + ".frames")).string();
      if (!WriteFrames(path, out, 4)) return 1;
      runs.emplace_back(path, out);
    }
  }
  for (const auto& [dbcPath, framesPath] : runs) {
    const std::string name = std::filesystem::path(dbcPath).stem().string();
    benchmark::RegisterBenchmark(("BM_DbcLoad/" + name).c_str(), BM_DbcLoad, dbcPath)
        ->Unit(benchmark::kMillisecond);
    if (!framesPath.empty())
      benchmark::RegisterBenchmark(("BM_DbcDecode/" + name).c_str(), BM_DbcDecode, dbcPath,
                                   framesPath)
          ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
