// canhost fed what is no input at all, and runs whose requests cannot be met: each ends within
// bounds of time and memory, names the file or the request and why, and says so by its exit
// status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

// clang says whether a sanitizer is on through __has_feature, not the GCC macros.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HAS_SANITIZER_FEATURE 1
#endif
#endif
#ifndef HAS_SANITIZER_FEATURE
#define HAS_SANITIZER_FEATURE 0
#endif
// Address space canhost is given: far below what /dev/zero read whole would take. The sanitizers
// reserve terabytes of shadow memory, so their builds run without the limit (the time bound
// stays).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || HAS_SANITIZER_FEATURE
constexpr bool kLimitMemory = false;
#else
constexpr bool kLimitMemory = true;
#endif
constexpr rlim_t kAddressSpace = rlim_t{3} << 30;

// Runs canhost with at most kAddressSpace of memory (as `ulimit -v` does); a run that has not
// ended after `bound` is killed and reported as exit code -2.
ProgramResult RunBounded(const std::vector<std::string>& args, const fs::path& dir,
                         std::chrono::seconds bound = std::chrono::seconds(60)) {
  const std::string out = (dir / "bounded.out").string();
  const std::string err = (dir / "bounded.err").string();
  std::vector<std::string> store = {(testing_support::BinDir() / "canhost").string()};
  store.insert(store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(store.size() + 1);
  for (auto& a : store)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    if (kLimitMemory) ::setrlimit(RLIMIT_AS, &limit);
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ProgramResult result;
  int status = 0;
  if (!testing_support::WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, bound)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    result.exitCode = -2;
  } else {
    result.exitCode = testing_support::ExitCodeOf(status);
  }
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

// A copy of /dev/zero, a FIFO and a sparse file of 10 GB in the place of every kind of input: each
// is refused by name and kind (or size) at once, within the memory limit, with the exit status of
// its kind of input.
TEST(CanhostInputs, DevicesFifosAndHugeFilesAreRefusedWithinBounds) {
  TempDir dir;
  const auto seed = dir / "seed";
  ASSERT_EQ(RunProgram("canhost", {"run", "--fast", "--quiet", "--seconds", "0.1", "--settings",
                                   seed.string()})
                .exitCode,
            0);
  std::vector<std::pair<fs::path, std::string>> inputs;
  if (::mknod((dir / "zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0)
    inputs.emplace_back(dir / "zero", "is a character device, not a regular file");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  inputs.emplace_back(dir / "fifo", "is a FIFO, not a regular file");
  { std::ofstream big(dir / "big"); }
  fs::resize_file(dir / "big", std::uintmax_t{10} << 30);

  struct Kind {
    const char* name;
    int exitCode;
    std::function<std::vector<std::string>(const fs::path& settings, const fs::path& input)> args;
    const char* settingsFile;  // replaced by a link to the input; null: given on the command line
  };
  const auto run = [](const fs::path& settings, std::vector<std::string> extra) {
    std::vector<std::string> args = {"run", "--fast",     "--quiet",        "--seconds",
                                     "0.2", "--settings", settings.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const std::vector<Kind> kinds = {
      {"Application.sea", 1, [&](auto& s, auto&) { return run(s, {}); }, "Application.sea"},
      {"Messages.sea", 1, [&](auto& s, auto&) { return run(s, {}); }, "Messages.sea"},
      {"candriver.conf", 1, [&](auto& s, auto&) { return run(s, {}); }, "candriver.conf"},
      {"decoder configuration", 1, [&](auto& s, auto&) { return run(s, {}); },
       "decoders/DBC Decoder.txt"},
      {"DBC of the settings", 1, [&](auto& s, auto&) { return run(s, {}); }, "obd2.dbc"},
      {"sequencer requests", 0, [&](auto& s, auto&) { return run(s, {}); }, "OBDTester.sequencer"},
      {"parameter database", 0, [&](auto& s, auto&) { return run(s, {}); }, "paramdb.txt"},
      {"--replay", 1,
       [&](auto& s, auto& i) {
         return run(s, {"--replay", i.string()});
       },
       nullptr},
      {"--dbc", 2,
       [&](auto& s, auto& i) {
         return run(s, {"--dbc", "0=" + i.string()});
       },
       nullptr},
      {"dbc info", 1,
       [](auto&, auto& i) {
         return std::vector<std::string>{"dbc", "info", i};
       },
       nullptr},
      {"dbc decode --dbc", 1,
       [&](auto&, auto& i) {
         return std::vector<std::string>{"dbc", "decode", "--dbc", i.string(),
                                         (dir / "seed/obd2.dbc").string()};
       },
       nullptr},
      {"dbc decode LOG", 1,
       [&](auto&, auto& i) {
         return std::vector<std::string>{"dbc", "decode", "--dbc", (dir / "seed/obd2.dbc").string(),
                                         i.string()};
       },
       nullptr},
      {"plot", 2,
       [&](auto&, auto& i) {
         return std::vector<std::string>{"plot", i.string(), "-o", (dir / "p.png").string()};
       },
       nullptr},
  };
  for (const auto& [input, why] : inputs) {
    for (const Kind& kind : kinds) {
      SCOPED_TRACE(input.filename().string() + " as " + kind.name);
      const auto settings = dir / "settings";
      fs::remove_all(settings);
      fs::copy(seed, settings, fs::copy_options::recursive);
      fs::remove(settings / "canhost.lock");
      if (kind.settingsFile != nullptr) {
        fs::remove(settings / kind.settingsFile);
        fs::create_symlink(input, settings / kind.settingsFile);
      }
      const auto r = RunBounded(kind.args(settings, input), dir.path());
      EXPECT_EQ(r.exitCode, kind.exitCode) << r.err;
      // A file of the settings is named by its place there, the others as given.
      const fs::path named = kind.settingsFile != nullptr ? settings / kind.settingsFile : input;
      EXPECT_NE(r.err.find(named.string() + ": " + why), std::string::npos) << r.err;
    }
  }
  // 10 GB of zeros: refused by size where a file is read whole, by its first line where it is
  // read line by line; nothing reads it through.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"dbc", "info", (dir / "big").string()},
           run(seed, {"--replay", (dir / "big").string()}),
           {"plot", (dir / "big").string(), "-o", (dir / "p.png").string()}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const auto r = RunBounded(args, dir.path(), std::chrono::seconds(20));
    EXPECT_GT(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find((dir / "big").string()), std::string::npos) << r.err;
  }
}

// Requests that cannot be met: the run finishes, says so in one line each and exits 1; two active
// sources on one channel are refused by channel and names; a file of nonsense gives a bounded
// number of lines, cut and escaped.
TEST(CanhostInputs, UnmetRequestsExitOneWithOneLineEach) {
  TempDir dir;
  const auto seed = dir / "seed";
  ASSERT_EQ(RunProgram("canhost", {"run", "--fast", "--quiet", "--seconds", "0.1", "--settings",
                                   seed.string()})
                .exitCode,
            0);
  const auto fresh = [&](const std::string& name) {
    fs::path settings = dir / name;
    fs::copy(seed, settings, fs::copy_options::recursive);
    return settings;
  };
  const auto run = [](const fs::path& settings, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"run", "--fast",     "--quiet",        "--seconds",
                                     "0.5", "--settings", settings.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram("canhost", args);
  };

  WriteFile(dir / "empty.dbc", "VERSION \"\"\n");
  auto r = run(fresh("nodbc"), {"--dbc", "0=" + (dir / "empty.dbc").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("canhost run: channel 0: the DBC file does not load as asked: " +
                       (dir / "empty.dbc").string() + ": no message (BO_) to decode\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("\n  total "), std::string::npos);  // it ran to its end

  const auto conf = fresh("conf");
  WriteFile(conf / "candriver.conf", "");
  r = run(conf);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("canhost run: channel 0 of source 'CAN 0' did not open"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("canhost run: channel 2 of source 'CAN 2' did not open"), std::string::npos)
      << r.err;

  const auto twice = fresh("twice");
  std::string sea = ReadFile(twice / "Application.sea");
  sea.replace(sea.find("line \"CAN 2\", \"1\", \"2\""), 22, "line \"CAN 2\", \"1\", \"0\"");
  WriteFile(twice / "Application.sea", sea);
  r = run(twice);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "canhost run: channel 0 has two active sources, 'CAN 0' and 'CAN 2'; switch one "
            "off or move it to another channel\n");

  const auto sequencer = fresh("sequencer");
  // A keyword of 10 MB, one with the escape codes of a terminal, and lines of nonsense.
  constexpr std::size_t kLongKeyword = 10'000'000;
  std::string nonsense(kLongKeyword, 'A');
  nonsense += "\n\x1b[31mred\n";
  for (int i = 0; i < 100'000; ++i)
    nonsense += "bad line\n";
  WriteFile(sequencer / "OBDTester.sequencer", nonsense);
  r = run(sequencer);
  EXPECT_LT(r.err.size(), 4000u) << r.err.substr(0, 4000);
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
  EXPECT_NE(r.err.find("\\x1B[31mred"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("OBDTester.sequencer: 99992 more lines in error left out"),
            std::string::npos)
      << r.err;

  std::string binary;
  for (int i = 0; i < 20'000; ++i)
    binary += "BO_ \x01\x02\xff garbage\n";
  WriteFile(dir / "binary.dbc", binary);
  r = run(fresh("binary"), {"--dbc", "0=" + (dir / "binary.dbc").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_LT(std::count(r.err.begin(), r.err.end(), '\n'), 20) << r.err;

  const auto ui = RunProgram(
      "canhost", {"ui", "--settings", (dir / "seed").string(), "--actions", "wait -5; quit"});
  EXPECT_EQ(ui.exitCode, 2);
  EXPECT_EQ(ui.err.rfind("canhost ui: --actions: 'wait -5': the time to wait is not 0 to 86400 "
                         "seconds\n",
                         0),
            0u)
      << ui.err;
}

}  // namespace
