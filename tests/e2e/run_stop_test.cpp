// canhost run and canhost ui as a person stops them, and the files they write as a person names
// them: signals at random moments of a recording, outputs that are FIFOs, standard output, links
// and devices, two processes on one settings folder, a settings file cut short.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::SpawnProgram;
using testing_support::TempDir;
using testing_support::WaitFor;
using testing_support::WriteFile;

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Every line of a capture is a whole candump line; every row of a CSV has its four fields.
void ExpectWholeLines(const std::string& capture, const std::string& csv) {
  EXPECT_TRUE(capture.empty() || capture.back() == '\n');
  EXPECT_TRUE(csv.ends_with('\n'));
  static const std::regex kCandump(R"(\(\d+\.\d{6}\) can\d+ [0-9A-F]{3,8}#[0-9A-F]*)");
  std::istringstream lines(capture);
  for (std::string line; std::getline(lines, line);)
    ASSERT_TRUE(std::regex_match(line, kCandump)) << line;
  std::istringstream rows(csv);
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row, "time,signal,value,unit");
  static const std::regex kRow(R"([0-9.e+-]+,[^,]+,[0-9.e+-]+,[^,]*)");
  while (std::getline(rows, row))
    ASSERT_TRUE(std::regex_match(row, kRow)) << row;
}

// The values of the summary's signal table, summed.
long long SummaryValues(const std::string& out) {
  long long values = 0;
  bool inTable = false;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("signal ")) inTable = true;
    if (line.starts_with("packets decoded")) break;
    if (!inTable || line.starts_with("signal ")) continue;
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;)
      w.push_back(word);
    if (w.size() >= 7) values += std::stoll(w[w.size() - 6]);  // values ... nan/inf time-outs
  }
  return values;
}

// A real-time run recording both files, stopped by `signals` (sent one after the other) once the
// capture holds a random number of lines: a stop keeps every frame, a kill every whole one.
TEST(CanhostStop, SignalsAtRandomMomentsLeaveWholeRecordings) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const std::vector<std::vector<int>> cases = {{SIGTERM}, {SIGHUP}, {SIGKILL}, {SIGINT, SIGINT}};
  for (const auto& signals : cases) {
    SCOPED_TRACE("signal " + std::to_string(signals.front()) + " x" +
                 std::to_string(signals.size()));
    TempDir dir;
    const auto capture = dir / "capture.log";
    const auto csv = dir / "signals.csv";
    const pid_t pid = SpawnProgram(
        "canhost",
        {"run", "--seconds", "600", "--quiet", "--settings", (dir / "settings").string(),
         "--capture", capture.string(), "--signals", csv.string()},
        {}, (dir / "out").string(), (dir / "err").string());
    ASSERT_GT(pid, 0);
    const std::size_t wanted = std::uniform_int_distribution<std::size_t>(1, 1500)(random);
    const bool reached =
        WaitFor([&] { return Lines(ReadFile(capture)) >= wanted; }, std::chrono::minutes(2));
    const std::size_t before = Lines(ReadFile(capture));
    for (const int s : signals)
      kill(pid, s);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(reached) << ReadFile(dir / "err");
    const std::string out = ReadFile(dir / "out");
    const std::string lines = ReadFile(capture);
    const std::string rows = ReadFile(csv);
    ExpectWholeLines(lines, rows);
    EXPECT_GE(Lines(lines), before);
    if (signals.front() == SIGKILL) {
      EXPECT_EQ(testing_support::ExitCodeOf(status), 128 + SIGKILL);
      continue;
    }
    ASSERT_TRUE(WIFEXITED(status)) << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + signals.front());
    if (signals.size() > 1) continue;  // the second may have ended it before its summary
    const auto counts = testing_support::ParseRunCounts(out);
    EXPECT_NE(out.find(signals.front() == SIGTERM ? "stopped by SIGTERM" : "stopped by SIGHUP"),
              std::string::npos)
        << out;
    // A clean stop: every message delivered is in the capture, every value in the CSV.
    EXPECT_EQ(static_cast<long long>(Lines(lines)), counts.At("total", "delivered")) << out;
    EXPECT_EQ(static_cast<long long>(Lines(rows)) - 1, SummaryValues(out)) << out;
    EXPECT_TRUE(fs::exists(dir / "settings/Application.sea"));
  }
}

// The window stops and saves on SIGTERM as when it is closed: an entry its module completes is in
// the saved settings, and the exit status says what ended it.
TEST(CanhostStop, UiSavesOnSigterm) {
  TempDir dir;
  ASSERT_EQ(RunProgram("canhost", {"run", "--fast", "--quiet", "--seconds", "0.1", "--settings",
                                   (dir / "settings").string()})
                .exitCode,
            0);
  std::string sea = ReadFile(dir / "settings/Application.sea");
  const std::size_t at = sea.find("entry \"CanSource-Params\"");
  ASSERT_NE(at, std::string::npos);
  sea.erase(at, sea.find('\n', at) + 1 - at);
  WriteFile(dir / "settings/Application.sea", sea);
  const auto table = dir / "table.txt";
  const pid_t pid =
      SpawnProgram("canhost",
                   {"ui", "--settings", (dir / "settings").string(), "--actions",
                    "start; signals " + table.string()},
                   {"QT_QPA_PLATFORM=offscreen"}, (dir / "out").string(), (dir / "err").string());
  ASSERT_GT(pid, 0);
  const bool measuring = WaitFor([&] { return fs::exists(table); }, std::chrono::minutes(1));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(measuring) << ReadFile(dir / "err");
  EXPECT_EQ(testing_support::ExitCodeOf(status), 128 + SIGTERM) << ReadFile(dir / "err");
  EXPECT_NE(ReadFile(dir / "settings/Application.sea").find("entry \"CanSource-Params\""),
            std::string::npos);
}

// The rows without those of the first frame (before 0.1 s): whether the first answer of the
// demo's tester is decoded in the first frame varies from run to run.
std::string Steady(const std::string& rows) {
  std::string out;
  std::istringstream lines(rows);
  for (std::string line; std::getline(lines, line);) {
    const bool firstFrame = line.size() > 2 && line[0] == '0' && line[1] == '.' && line[2] == '0';
    if (!firstFrame) out += line + "\n";
  }
  return out;
}

// What the path names is written into: a FIFO's reader gets the rows, standard output (by "-" or
// /dev/stdout) gets them while the summary goes to stderr, a link's target gets them with its
// mode, a device copy stays a device. The same file named twice is a usage error.
TEST(CanhostOutputs, WrittenIntoWhatThePathNames) {
  TempDir dir;
  const std::string settings = (dir / "settings").string();
  const std::vector<std::string> run = {"run", "--fast",     "--quiet", "--seconds",
                                        "1",   "--settings", settings};
  const auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = run;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const auto reference = RunProgram("canhost", with({"--signals", (dir / "ref.csv").string()}));
  ASSERT_EQ(reference.exitCode, 0) << reference.err;
  const std::string rows = Steady(ReadFile(dir / "ref.csv"));
  ASSERT_GT(Lines(rows), 10u);

  // A FIFO: the run waits for its reader and writes into it.
  const auto fifo = dir / "signals.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t pid = SpawnProgram("canhost", with({"--signals", fifo.string()}), {},
                                 (dir / "out").string(), (dir / "err").string());
  ASSERT_GT(pid, 0);
  std::string received;
  const int fd = ::open(fifo.c_str(), O_RDONLY);
  char buffer[4096];
  for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(testing_support::ExitCodeOf(status), 0) << ReadFile(dir / "err");
  EXPECT_EQ(Steady(received), rows);
  EXPECT_TRUE(fs::is_fifo(fifo));

  for (const char* name : {"-", "/dev/stdout"}) {
    const auto r = RunProgram("canhost", with({"--signals", name}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Steady(r.out), rows) << name;
    EXPECT_NE(r.err.find("\n  total "), std::string::npos) << r.err;
  }

  WriteFile(dir / "kept.csv", "old\n");
  fs::permissions(dir / "kept.csv", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(dir / "kept.csv", dir / "link.csv");
  EXPECT_EQ(RunProgram("canhost", with({"--signals", (dir / "link.csv").string()})).exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
  EXPECT_EQ(Steady(ReadFile(dir / "kept.csv")), rows);
  EXPECT_EQ(fs::status(dir / "kept.csv").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {(dir / "x.out").string(), (dir / "x.out").string()},
           {(dir / "kept.csv").string(), (dir / "link.csv").string()},
           {"-", "/dev/stdout"}}) {
    const auto r = RunProgram("canhost", with({"--signals", a, "--capture", b}));
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.err.rfind("canhost run: --capture and --signals name the same file, ", 0), 0u)
        << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir / "x.out"));
  EXPECT_EQ(Steady(ReadFile(dir / "kept.csv")), rows);

  // A copy of /dev/null, where this machine lets a test make one.
  const auto null = dir / "null";
  if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "mknod is not permitted here: the device case is left out";
  EXPECT_EQ(RunProgram("canhost",
                       with({"--signals", null.string(), "--capture", (dir / "c.log").string()}))
                .exitCode,
            0);
  EXPECT_TRUE(fs::is_character_file(null));
}

// Two processes on one settings folder: the second is refused with the folder and the first's
// pid and command; the first goes on and saves.
TEST(CanhostSettings, TwoRunsOnOneFolderTheSecondIsRefused) {
  TempDir dir;
  const std::string settings = (dir / "settings").string();
  const pid_t first = SpawnProgram("canhost", {"run", "--seconds", "600", "--settings", settings},
                                   {}, (dir / "out").string(), (dir / "err").string());
  ASSERT_GT(first, 0);
  const bool running =
      WaitFor([&] { return ReadFile(dir / "out").find("Ctrl-C") != std::string::npos; },
              std::chrono::minutes(1));
  const auto second =
      RunProgram("canhost", {"run", "--fast", "--seconds", "1", "--settings", settings});
  const auto ui =
      RunProgram("canhost", {"ui", "--settings", settings}, {"QT_QPA_PLATFORM=offscreen"});
  kill(first, SIGTERM);
  int status = 0;
  waitpid(first, &status, 0);
  ASSERT_TRUE(running) << ReadFile(dir / "err");
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "canhost run: settings folder " + settings + " is in use by process " +
                            std::to_string(first) + " (canhost run --seconds 600 --settings " +
                            settings + "); one canhost at a time may use a settings folder\n");
  EXPECT_EQ(ui.exitCode, 1);
  EXPECT_NE(ui.err.find("is in use by process " + std::to_string(first)), std::string::npos)
      << ui.err;
  EXPECT_EQ(testing_support::ExitCodeOf(status), 128 + SIGTERM);
  // The lock went with the process: the folder is free again.
  EXPECT_EQ(
      RunProgram("canhost", {"run", "--fast", "--seconds", "0.1", "--settings", settings}).exitCode,
      0);
}

// An Application.sea cut short anywhere stops the run with its name, line and column, and is
// left exactly as it was.
TEST(CanhostSettings, ASeaCutShortStopsTheRunAndIsNotSavedOver) {
  TempDir dir;
  const auto settings = dir / "settings";
  const std::vector<std::string> run = {"run", "--fast",     "--seconds",
                                        "0.1", "--settings", settings.string()};
  ASSERT_EQ(RunProgram("canhost", run).exitCode, 0);
  const std::string whole = ReadFile(settings / "Application.sea");
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (int i = 0; i < 3; ++i) {
    const std::size_t cut =
        std::uniform_int_distribution<std::size_t>(10, whole.size() - 1)(random);
    SCOPED_TRACE("cut at " + std::to_string(cut));
    WriteFile(settings / "Application.sea", whole.substr(0, cut));
    const auto r = RunProgram("canhost", run);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(
        r.err.rfind("canhost run: settings: " + (settings / "Application.sea").string() + ":", 0),
        0u)
        << r.err;
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_EQ(ReadFile(settings / "Application.sea"), whole.substr(0, cut));
  }
}

}  // namespace
