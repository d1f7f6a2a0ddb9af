// canhost run on settings and files that are wrong in the ways users get them wrong: each stops
// the run with exit code 1 and one line that names the cause, before anything is measured.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

const char* const kOneSource = "list \"CAN-Sources\"\nline \"CAN 0\", \"1\", \"0\", \"0\"\n";

TEST(CanhostRunInput, WrongSettingsAndFilesStopTheRunWithTheirCause) {
  TempDir dir;
  const auto settings = [&](const std::string& name) { return (dir / name).string(); };
  WriteFile(dir / "idle/Application.sea",
            "list \"CAN-Sources\"\nline \"Off\", \"0\", \"0\", \"0\"\n");
  WriteFile(dir / "managed/Application.sea", kOneSource);
  WriteFile(dir / "managed/ManagedApplication.sea", "entry \"Application\" = \"canhost\n");
  std::filesystem::create_directories(dir / "conf/candriver.conf");
  WriteFile(dir / "conf/Application.sea", kOneSource);
  WriteFile(dir / "good/Application.sea", kOneSource);

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--settings", settings("idle")},
       "no active CAN source in the settings in " + settings("idle") + ": nothing to measure"},
      {{"--settings", settings("managed")},
       "settings: " + settings("managed") + "/ManagedApplication.sea:1:"},
      {{"--settings", settings("conf")},
       "settings: " + settings("conf") + "/candriver.conf: is a folder, not a file"},
      {{"--settings", settings("good"), "--replay", settings("idle")},
       settings("idle") + ": is a folder, not a file"},
      {{"--settings", settings("good"), "--capture", settings("idle")},
       settings("idle") + ": is a folder, not a file"},
  };
  for (const auto& c : cases) {
    auto args = c.args;
    args.insert(args.begin(), {"run", "--fast", "--seconds", "0.2"});
    const auto r = RunProgram("canhost", args);
    SCOPED_TRACE(c.message);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("canhost run: " + c.message, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // Nothing was saved over the refused medium.
  EXPECT_EQ(ReadFile(dir / "managed/ManagedApplication.sea"),
            "entry \"Application\" = \"canhost\n");
}

// Three frames, three days of silence, three frames: the run says so, and --fast does not run
// the 2.6 million empty frames between them, yet places the last frames at their time.
TEST(CanhostRunInput, ReplayWithAGapOfDaysWarnsAndFastCrossesIt) {
  TempDir dir;
  WriteFile(dir / "settings/Application.sea", kOneSource);
  WriteFile(dir / "drive.log",
            "(1000.000000) can0 100#01\n(1000.010000) can0 100#02\n(1000.020000) can0 100#03\n"
            "(260200.000000) can0 100#04\n(260200.010000) can0 100#05\n"
            "(260200.020000) can0 100#06\n");
  const auto r = RunProgram(
      "canhost", {"run", "--settings", (dir / "settings").string(), "--fast", "--replay",
                  (dir / "drive.log").string(), "--capture", (dir / "capture.log").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("drive.log:4: the log is silent for 259199.980 s before this line "
                       "(--fast crosses it at once)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("\n      0          6          6         0         0         0         0"),
            std::string::npos)
      << r.out;
  const std::string capture = ReadFile(dir / "capture.log");
  EXPECT_NE(capture.find(") can0 100#04\n"), std::string::npos) << capture;
  // The fourth frame lies 259200 s after the first, to the slow sample.
  const auto first = std::stod(capture.substr(1));
  const auto fourth = std::stod(capture.substr(capture.find('(', capture.find("100#03")) + 1));
  EXPECT_NEAR(fourth - first, 259200.0, 0.002);
}

// The replay plays the frames the check before the run has spooled in $TMPDIR: nothing of them is
// left there afterwards, and without a temporary folder the replay reads the log itself, to the
// same capture (error frames and CAN FD frames left out alike, frames out of order sorted alike;
// the spool long enough to be read in several blocks).
TEST(CanhostRunInput, ReplaySpoolsInTheTemporaryFolderAndLeavesNothingThere) {
  TempDir dir;
  WriteFile(dir / "settings/Application.sea", kOneSource);
  std::string log;
  for (int i = 0; i < 12'000; ++i) {
    char line[48];
    std::snprintf(line, sizeof line, "(%d.%06d) can%d 1%d0#0102\n", 100 + i / 100,
                  (i * 7919) % 100 * 1000, i % 2, i % 10);
    log += line;
    if (i % 500 == 7) log += "(100.5) can0 ERROR\n(100.5) can1 123##1AABB\n";
  }
  WriteFile(dir / "drive.log", log);
  std::filesystem::create_directories(dir / "tmp");
  std::vector<std::string> captures;
  for (const std::filesystem::path& tmp : {dir / "tmp", dir / "missing"}) {
    SCOPED_TRACE(tmp.string());
    const std::string capture = (dir / "capture.log").string();
    const auto r =
        RunProgram("canhost",
                   {"run", "--settings", (dir / "settings").string(), "--fast", "--quiet",
                    "--replay", (dir / "drive.log").string(), "--capture", capture},
                   {"TMPDIR=" + tmp.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    captures.push_back(ReadFile(capture));
  }
  EXPECT_EQ(captures[0], captures[1]);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

}  // namespace
