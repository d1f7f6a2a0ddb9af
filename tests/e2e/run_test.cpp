// canhost run end to end: the real binary, the real plug-in, the real driver.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/CandumpFormat.h"
#include "host/settings/SeaFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Message {
  double seconds;  // time in the log or the capture
  std::string channel;
  std::uint32_t id;  // flagged: bit 31 tells an extended identifier below 0x800 from a standard one
  std::vector<std::uint8_t> data;
};

std::vector<Message> ReadCandump(const std::string& text) {
  XeCanDriverKvaser::CanLogReader reader;
  reader.OpenText(text, "log");
  std::vector<Message> messages;
  for (XeCanDriverKvaser::CanLogEntry e; reader.Next(e);) {
    if (!e.error.empty()) ADD_FAILURE() << e.error;
    const auto& m = e.message;
    messages.push_back({e.seconds(),
                        e.channel,
                        XeCanDriverKvaser::FlaggedId(m.id, m.flags),
                        {m.data, m.data + m.length}});
  }
  return messages;
}

// A log like a real bus: standard and extended identifiers (some extended ones below 0x800, which
// only bit 31 of the packet tells apart), lengths 0 to 8, gaps of 0.3 to 3 ms and a few idle
// stretches longer than a frame.
std::string MakeLog(int count) {
  using namespace XeCanDriverKvaser;
  std::mt19937 random(20240601);
  std::string log;
  std::array<char, kCandumpLineCapacity> line;
  std::int64_t ns = 1'700'000'000'000'000'000;
  for (int i = 0; i < count; ++i) {
    ns +=
        (i % 97 == 96) ? 350'000'000 : 300'000 + static_cast<std::int64_t>(random() % 2700) * 1000;
    CanMessage m;
    const bool extended = random() % 3 == 0;
    if (extended) m.flags = kCanFlagExtended;
    m.id = static_cast<std::uint32_t>(random() % (extended ? (i % 2 ? 0x1FFFFFFF : 0x7FF) : 0x800));
    m.length = static_cast<std::int32_t>(random() % 9);
    for (int b = 0; b < m.length; ++b)
      m.data[b] = static_cast<std::uint8_t>(random() % 256);
    log.append(line.data(), FormatCandump(line, ns, "can0", m));
  }
  return log;
}

// Each row adds up: whatever was received was delivered or is counted in one other column; the
// total is the sum of the channels.
void ExpectRowsAddUp(const testing_support::RunCounts& counts) {
  long long received = 0;
  for (const auto& [label, row] : counts.rows) {
    long long accounted = 0;
    for (std::size_t i = 0; i < counts.columns.size(); ++i)
      accounted += counts.columns[i] == "received" ? 0 : row[i];
    EXPECT_EQ(counts.At(label, "received"), accounted) << "row " << label;
    if (label != "total") received += counts.At(label, "received");
  }
  EXPECT_EQ(counts.columns.size(), 7u);
  EXPECT_EQ(counts.At("total", "received"), received);
}

TEST(CanhostRun, FastReplayCapturesEveryMessageOfTheLogAtItsTime) {
  TempDir dir;
  // A settings folder of the user's own: one source, on channel 2; no driver configuration, so
  // channels 0-3 are virtual and nothing but the log is on the bus. It must not be seeded.
  WriteFile(dir / "settings/Application.sea",
            "list \"CAN-Sources\"\nline \"Replay\", \"1\", \"2\", \"0\"\n");
  const std::string log = MakeLog(600);
  WriteFile(dir / "drive.log", log);
  const std::string settings = (dir / "settings").string(), replay = (dir / "drive.log").string();
  const std::vector<std::string> args = {
      "run",  "--settings", settings, "--fast",    "--replay",
      replay, "--channel",  "2",      "--capture", (dir / "capture.log").string()};
  const auto r = RunProgram("canhost", args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "settings/candriver.conf"));

  const auto expected = ReadCandump(log);
  const auto captured = ReadCandump(ReadFile(dir / "capture.log"));
  ASSERT_EQ(captured.size(), expected.size());
  // The driver stamps in 125 µs ticks, so a log time may move by half a tick each way.
  const double samplePeriod = 0.001, tick = 0.000125;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("message " + std::to_string(i));
    EXPECT_EQ(captured[i].channel, "can2");
    EXPECT_EQ(captured[i].id, expected[i].id);
    EXPECT_EQ(captured[i].data, expected[i].data);
    const double inLog = expected[i].seconds - expected[0].seconds;
    const double inCapture = captured[i].seconds - captured[0].seconds;
    EXPECT_LE(std::fabs(inCapture - inLog), samplePeriod + tick);
  }

  const auto counts = testing_support::ParseRunCounts(r.out);
  EXPECT_EQ(counts.At("2", "received"), 600) << r.out;
  EXPECT_EQ(counts.At("2", "delivered"), 600);
  ExpectRowsAddUp(counts);
  // The settings were written back: the old four-value line is completed.
  EXPECT_NE(ReadFile(dir / "settings/Application.sea")
                .find(R"(line "Replay", "1", "2", "0", "-2", "0", "-1000", "-1001")"),
            std::string::npos);

  // The same replay again gives the same capture, to the byte.
  auto again = args;
  again.back() = (dir / "again.log").string();
  ASSERT_EQ(RunProgram("canhost", again).exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "again.log"), ReadFile(dir / "capture.log"));
}

TEST(CanhostRun, RealTimeRunOnAFreshFolderCapturesTheDemoAndSavesTheSettings) {
  TempDir dir;
  const auto settings = dir / "new";
  const auto r = RunProgram("canhost", {"run", "--seconds", "3", "--settings", settings.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("30 frames of 0.100 s = 3.000 s, real time"), std::string::npos) << r.out;
  const auto counts = testing_support::ParseRunCounts(r.out);
  // The sequencer on channel 0 gets an answer every 9 ms; the vehicle on channel 1 answers and
  // delivers nothing; the generators send about 410 messages a second to channel 2.
  EXPECT_GT(counts.At("0", "delivered"), 200) << r.out;
  EXPECT_EQ(counts.At("1", "delivered"), 0);
  EXPECT_GT(counts.At("2", "delivered"), 600);
  ExpectRowsAddUp(counts);

  EXPECT_TRUE(std::filesystem::exists(settings / "candriver.conf"));
  // The host wrote the seeded sea back in its own form (the seed's comments are gone).
  const std::string sea = ReadFile(settings / "Application.sea");
  host::SeaContent content;
  host::SeaError error;
  ASSERT_TRUE(host::SeaFile::Parse(sea, settings / "Application.sea", content, error));
  EXPECT_EQ(sea, host::SeaFile::Write(content, L"Application"));
  ASSERT_FALSE(content.lists.empty());
  EXPECT_EQ(content.lists[0].name, L"CAN-Sources");
  EXPECT_EQ(content.lists[0].lines.size(), 3u);
  EXPECT_TRUE(std::filesystem::exists(settings / "OBDTester.sequencer"));
}

TEST(CanhostRun, BadArgumentsAndBadFilesGiveTheirExitCodeAndOneClearLine) {
  TempDir dir;
  const std::string settings = (dir / "settings").string();
  WriteFile(dir / "bad.log", "(1.000000) can0 123#11\n(1.100000) can0 12#00\n");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"run", "--seconds", "-1"}, 2, "--seconds: '-1' is not a positive number"},
      {{"run", "--channel", "1"}, 2, "--channel needs --replay"},
      {{"run", "--replay"}, 2, "--replay needs a value"},
      {{"run", "--bogus"}, 2, "unknown option '--bogus'"},
      {{"run", "--settings", settings, "--replay", (dir / "none.log").string()},
       1,
       (dir / "none.log").string() + ": cannot open"},
      {{"run", "--settings", settings, "--replay", (dir / "bad.log").string()},
       1,
       (dir / "bad.log").string() + ":2: identifier '12' needs 3 or 8 hex digits"},
      {{"run", "--settings", settings, "--replay", (dir / "bad.log").string(), "--channel", "9"},
       1,
       (dir / "bad.log").string() + ":2:"},
  };
  for (const auto& c : cases) {
    const auto r = RunProgram("canhost", c.args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err.rfind("canhost run: " + c.message, 0), 0u) << r.err;
    if (c.exitCode == 2) {
      EXPECT_NE(r.err.find("usage: canhost run"), std::string::npos);
    } else {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(r.out, "");
  }
}

TEST(CanhostRun, CtrlCStopsCleanlyWithTheSummaryAndSavedSettings) {
  TempDir dir;
  const auto out = dir / "out.txt";
  const pid_t pid = testing_support::SpawnProgram(
      "canhost", {"run", "--seconds", "600", "--settings", (dir / "settings").string()}, {},
      out.string(), (dir / "err.txt").string());
  ASSERT_GT(pid, 0);
  // The first line says the measurement runs and Ctrl-C may stop it.
  const bool running = testing_support::WaitFor(
      [&] { return ReadFile(out).find("Ctrl-C stops") != std::string::npos; },
      std::chrono::minutes(2));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(running) << ReadFile(out);

  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);  // a run cut short
  const std::string text = ReadFile(out);
  EXPECT_NE(text.find("stopped by Ctrl-C"), std::string::npos) << text;
  ExpectRowsAddUp(testing_support::ParseRunCounts(text));
  EXPECT_EQ(ReadFile(dir / "settings/Application.sea").rfind("# Sea \"Application\"", 0), 0u);
}

// A generator far faster than any bus, heard by 16 sources: memory stays bounded, whatever cannot
// be carried is accounted for, and the run ends normally with its settings saved.
TEST(CanhostRun, OverloadOnSixteenChannelsIsBoundedAndAccounted) {
  TempDir dir;
  const auto settings = dir / "settings";
  std::string sources = "list \"CAN-Sources\"\n";
  std::string conf;
  for (int ch = 0; ch < 16; ++ch) {
    sources += "line \"CAN " + std::to_string(ch) + "\", \"1\", \"" + std::to_string(ch) +
               "\", \"0\", \"-1\", \"0\", \"-1000\", \"-1001\"\n";
    conf += "channel " + std::to_string(ch) + " virtual\n";
  }
  WriteFile(settings / "Application.sea", sources);
  WriteFile(settings / "candriver.conf", conf + "generator default id=1,2,3,4 period=10us\n");
  const auto r = RunProgram(
      "canhost", {"run", "--fast", "--quiet", "--seconds", "2", "--settings", settings.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto counts = testing_support::ParseRunCounts(r.out);
  ASSERT_EQ(counts.rows.size(), 17u) << r.out;
  ExpectRowsAddUp(counts);
  // Two seconds of a saturated 1 Mbit/s bus: thousands of frames a channel, far fewer than the
  // 800 000 the generator asked for.
  EXPECT_GT(counts.At("7", "received"), 5000);
  EXPECT_LT(counts.At("7", "received"), 40000);
  EXPECT_EQ(r.err.find("threw"), std::string::npos) << r.err.substr(0, 2000);
  EXPECT_NE(ReadFile(settings / "Application.sea").find("CAN 15"), std::string::npos);
}

}  // namespace
