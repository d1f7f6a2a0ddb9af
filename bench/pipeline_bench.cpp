// The main job end to end, as a user runs it: `canhost run --fast --replay` of a generated log of
// real traffic (GeneratedLog.h: every message of ../shared/dbc/vw_pq_norm.dbc in turn, 250 us
// apart) decoded with that DBC file: the replay, the source module's capture into the container,
// the sink's decoding and the --signals CSV (and with /capture the --capture log), both into a
// null device (a mknod copy). Each run is a canhost process; the figures are its wall-clock
// messages per second (`msgs_per_s`, the time of the iteration), its CPU seconds and its peak
// resident memory (`maxrss_MB`), which must not grow with the log's length (the two lengths).
//   default   the default settings (three sources: the OBD tester's channel 0 replaced by the log)
//   single    one standard source, on channel 0
//   all       with --all-signals: every signal of the DBC file is recorded
//
//   build/release/bin/pipeline_bench
//   build/release/bin/pipeline_bench --benchmark_filter='default/signals/1000000'
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/GeneratedLog.h"
#include "host/cananalysis/DbcParser.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestPaths.h"

namespace {

namespace fs = std::filesystem;

// The generated logs, kept between runs and shared by every clone's benchmark.
const fs::path& Folder() {
  static const fs::path dir = fs::temp_directory_path() / "canhost-pipeline-bench";
  return dir;
}

// This process's settings, outputs and null devices: two benchmarks at once (two clones' test
// suites) must not take each other's settings lock or outputs.
const fs::path& RunFolder() {
  static const fs::path dir = Folder() / ("run-" + std::to_string(::getpid()));
  return dir;
}

std::string Dbc() {
  return (testing_support::SharedDir() / "dbc/vw_pq_norm.dbc").string();
}

// The log of `messages` messages, written once.
std::string Log(std::int64_t messages, std::string& error) {
  const fs::path log = Folder() / ("replay-" + std::to_string(messages) + ".log");
  if (fs::exists(log)) return log.string();
  // Written aside and renamed, so that another benchmark never replays half a log.
  const fs::path part = RunFolder() / log.filename();
  XeCanAnalysis::DbcDatabase db;
  if (!XeCanAnalysis::DbcParser::ParseFile(Dbc(), db, error) ||
      !bench::WriteDbcLog(db, part.string(), static_cast<std::uint64_t>(messages), 250'000, error))
    return {};
  fs::rename(part, log);
  return log.string();
}

// A fresh settings folder: empty (canhost seeds its default) or the single source's.
fs::path Settings(bool single) {
  fs::path dir = RunFolder() / "settings";
  fs::remove_all(dir);
  if (!single) return dir;
  fs::create_directories(dir);
  std::ofstream(dir / "Application.sea") << "list \"CAN-Sources\"\n"
                                            "line \"CAN 0\", \"1\", \"0\", \"0\", \"-2\", \"0\", "
                                            "\"-1000\", \"-1001\"\n"
                                            "list \"CAN 0-0\"\nline \"0 1073741823 1\"\n";
  return dir;
}

fs::path NullDevice(const char* name) {
  fs::path file = RunFolder() / name;
  if (!fs::exists(file)) ::mknod(file.c_str(), S_IFCHR | 0666, makedev(1, 3));
  return file;
}

void BM_FastReplay(benchmark::State& state, bool single, bool all, bool capture) {
  if (!fs::exists(Dbc())) {
    state.SkipWithError((Dbc() + " is missing").c_str());
    return;
  }
  fs::create_directories(RunFolder());
  const std::int64_t messages = state.range(0);
  std::string error;
  const std::string log = Log(messages, error);
  if (log.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  double cpu = 0.0, rss = 0.0;
  for (auto _ : state) {
    std::vector<std::string> args = {
        "run", "--fast", "--quiet",    "--settings", Settings(single).string(),     "--replay",
        log,   "--dbc",  "0=" + Dbc(), "--signals",  NullDevice("signals").string()};
    if (all) args.push_back("--all-signals");
    if (capture) args.insert(args.end(), {"--capture", NullDevice("capture").string()});
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = testing_support::SpawnProgram(
        "canhost", args, {}, (RunFolder() / "out").string(), (RunFolder() / "err").string());
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid ||
        testing_support::ExitCodeOf(status) != 0) {
      // The run's folder goes at exit: what canhost said is the message.
      std::ifstream err(RunFolder() / "err");
      std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
      said.resize(std::min<std::size_t>(said.size(), 2000));
      state.SkipWithError(("canhost run failed: " + said).c_str());
      return;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    rss = static_cast<double>(usage.ru_maxrss) / 1024.0;
  }
  state.SetItemsProcessed(state.iterations() * messages);
  state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(messages),
                                                    benchmark::Counter::kIsIterationInvariantRate);
  state.counters["cpu_s"] = cpu;
  state.counters["maxrss_MB"] = rss;
}

void Register(const char* name, bool single, bool all, bool capture) {
  benchmark::RegisterBenchmark(name, BM_FastReplay, single, all, capture)
      ->Arg(250'000)
      ->Arg(1'000'000)
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  Register("BM_FastReplay/default/signals", false, false, false);
  Register("BM_FastReplay/default/all", false, true, false);
  Register("BM_FastReplay/default/all/capture", false, true, true);
  Register("BM_FastReplay/single/signals", true, false, false);
  Register("BM_FastReplay/single/all", true, true, false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(RunFolder(), ignored);
  return 0;
}
