// canhost run --fast --replay on hand-made logs, each a case that lost values or messages: slow
// cycles that land in the first slow sample of every frame, two values of a signal in one slow
// sample, equal timestamps, values beyond single precision and not finite, a month of silence
// with the default sources running, 2 s frames on a bus at full load.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "tests/e2e/ReplayCheck.h"
#include "tests/support/TestSupport.h"

namespace e2e_test {
namespace {

using testing_support::ParseRunCounts;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr char kDbc[] = R"(VERSION ""
BO_ 256 Slow100: 8 Ecu
 SG_ Count100 : 0|16@1+ (1,0) [0|0] "" Host
BO_ 257 Slow200: 8 Ecu
 SG_ Count200 : 0|16@1+ (1,0) [0|0] "" Host
BO_ 258 Slow1000: 8 Ecu
 SG_ Count1000 : 0|16@1+ (1,0) [0|0] "" Host
BO_ 512 Wide: 24 Ecu
 SG_ U32 : 0|32@1+ (1,0) [0|0] "" Host
 SG_ U64 : 32|64@1+ (1,0) [0|0] "" Host
 SG_ Dbl : 96|64@1- (1,0) [0|0] "" Host
 SG_ Flt : 160|32@1- (1,0) [0|0] "" Host
SIG_VALTYPE_ 512 Dbl : 2;
SIG_VALTYPE_ 512 Flt : 1;
)";

std::string Line(double seconds, const char* frame) {
  char text[160];
  std::snprintf(text, sizeof text, "(%.6f) can0 %s\n", seconds, frame);
  return text;
}

// A counter in bytes 0-1 of identifier `id`.
std::string Counter(double seconds, unsigned id, unsigned count) {
  char frame[64];
  std::snprintf(frame, sizeof frame, "%03X#%02X%02X000000000000", id, count & 0xFF, count >> 8);
  return Line(seconds, frame);
}

struct Fixture {
  TempDir dir;
  Fixture() { WriteFile(dir / "test.dbc", kDbc); }
  ReplayReport Check(const std::string& log, ReplaySetup setup = {}) {
    WriteFile(dir / "test.log", log);
    setup.log = dir / "test.log";
    setup.dbc = dir / "test.dbc";
    return CheckReplay(setup);
  }
};

// Messages of 100 ms, 200 ms and 1 s cycles, logged at the start of a frame (0.1 s): every one
// falls in the first slow sample of its frame, and each is decoded.
TEST(ReplayValues, SlowCyclesAtTheStartOfEveryFrameAreDecoded) {
  Fixture f;
  std::string log;
  for (unsigned k = 0; k < 50; ++k) {
    log += Counter(100.0 + 0.1 * k, 0x100, k);
    if (k % 2 == 0) log += Counter(100.0 + 0.1 * k + 0.0003, 0x101, k / 2);
    if (k % 10 == 0) log += Counter(100.0 + 0.1 * k + 0.0006, 0x102, k / 10);
  }
  const ReplayReport r = f.Check(log);
  std::printf("%s\n", Describe("slow cycles", r).c_str());
  EXPECT_EQ(r.values, 50u + 25u + 5u);
  EXPECT_EQ(r.matched, r.values) << Describe("slow cycles", r);
  EXPECT_EQ(r.extra, 0u);
}

// Two frames of one message 0.3 ms apart share a slow sample of 1 ms: both values are in the
// signals, and the summary counts the second.
TEST(ReplayValues, TwoValuesOfASignalInOneSlowSampleAreBothRecorded) {
  Fixture f;
  std::string log;
  for (unsigned k = 0; k < 20; ++k) {
    log += Counter(5.0 + 0.05 * k + 0.0101, 0x100, 2 * k);
    log += Counter(5.0 + 0.05 * k + 0.0104, 0x100, 2 * k + 1);
  }
  const ReplayReport r = f.Check(log);
  EXPECT_EQ(r.values, 40u);
  EXPECT_EQ(r.matched, r.values) << Describe("two in one slow sample", r);
  EXPECT_NE(r.run.out.find("values that shared a slow sample with an earlier one of their "
                           "signal: 20\n"),
            std::string::npos)
      << r.run.out;
}

// 600 frames with one timestamp (a log of whole seconds): they play back to back from it, every
// one reaches the container, and the delay is reported once.
TEST(ReplayValues, EqualTimestampsPlayBackToBackAndNoneIsLost) {
  Fixture f;
  std::string log;
  for (unsigned k = 0; k < 600; ++k)
    log += Counter(7.0 + (k < 300 ? 0.0 : 1.0), 0x100 + k % 3, k);
  const ReplayReport r = f.Check(log);
  EXPECT_EQ(r.values, 600u);
  EXPECT_EQ(r.matched, r.values) << Describe("equal timestamps", r);
  const auto counts = ParseRunCounts(r.run.out);
  EXPECT_EQ(counts.At("0", "delivered"), 600);
  EXPECT_EQ(counts.At("0", "no room"), 0);
  // 111 bits a frame at 500 kbit/s: 300 take 66.6 ms of wire.
  std::size_t reports = 0;
  for (std::size_t at = 0;
       (at = r.run.err.find("frames played later than logged", at)) != std::string::npos; ++at)
    ++reports;
  EXPECT_EQ(reports, 1u) << r.run.err;
  EXPECT_NE(r.run.err.find(": 598 frames played later than logged"), std::string::npos)
      << r.run.err;
}

// Values a single-precision list would change, exactly as decoded: the largest 32-bit and 64-bit
// unsigned numbers, doubles near the limit, NaN and infinities. The summary counts those that
// are not finite and leaves them out of min and max; canhost plot draws the file, with a gap.
TEST(ReplayValues, ExtremeAndNonFiniteValuesArriveExactly) {
  Fixture f;
  // CAN FD frames of identifier 0x200, 24 bytes: U32, U64, Dbl (a double), Flt (a float).
  const std::string log =
      Line(1.0, "200##0FFFFFFFFFFFFFFFFFFFFFFFF9C7500883CE4377E0000C07F") +   // 1e300, NaN
      Line(1.01, "200##0000000000000000000000080FFFFFFFFFFFFEF7F0000807F") +  // DBL_MAX, inf
      Line(1.02, "200##02A00000001000000000000000100000000000000000080FF") +  // 5e-324, -inf
      Line(1.03, "200##0010000000200000000000000000000000000000000000000");
  ReplaySetup setup;
  setup.bus = {true, 0, 500'000, 2'000'000};
  const ReplayReport r = f.Check(log, setup);
  EXPECT_EQ(r.values, 16u);
  EXPECT_EQ(r.matched, r.values) << Describe("extremes", r);
  const std::string csv = ReadFile(r.signalsFile);
  EXPECT_NE(csv.find(",U32,4294967295,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",U64,18446744073709551616,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Dbl,1.7976931348623157e+308,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Dbl,1e+300,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Flt,nan,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Flt,inf,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Flt,-inf,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Dbl,5e-324,"), std::string::npos) << csv;
  // Flt: NaN, inf, -inf and 0: values, last, min, max, nan/inf, time-outs.
  const std::size_t row = r.run.out.find("\nFlt ");
  ASSERT_NE(row, std::string::npos) << r.run.out;
  std::istringstream fields(r.run.out.substr(row + 1, r.run.out.find('\n', row + 1) - row - 1));
  std::vector<std::string> words;
  for (std::string w; fields >> w;)
    words.push_back(w);
  EXPECT_EQ(words, (std::vector<std::string>{"Flt", "4", "0", "0", "0", "3", "0"}));

  const auto plot = testing_support::RunProgram(
      "canhost", {"plot", r.signalsFile.string(), "-o", (f.dir / "extremes.png").string()});
  EXPECT_EQ(plot.exitCode, 0) << plot.err;
  EXPECT_TRUE(std::filesystem::exists(f.dir / "extremes.png"));
}

// A month of silence in the log while the default settings run the sequencer, the vehicle
// simulation and the traffic generators: --fast crosses it in a few thousand frames, the sources
// take up after it where they were, nothing is lost, and no line repeats.
TEST(ReplayValues, AMonthOfSilenceIsCrossedWithTheDefaultSourcesRunning) {
  TempDir dir;
  std::string log;
  for (unsigned k = 0; k < 20; ++k)
    log += Counter(10.0 + 0.01 * k, 0x7E8, k);
  for (unsigned k = 0; k < 20; ++k)
    log += Counter(10.0 + 30 * 86400.0 + 0.01 * k, 0x7E8, 20 + k);
  WriteFile(dir / "month.log", log);
  const auto started = std::chrono::steady_clock::now();
  const auto run = testing_support::RunProgram(
      "canhost", {"run", "--settings", (dir / "settings").string(), "--fast", "--quiet", "--replay",
                  (dir / "month.log").string(), "--capture", (dir / "capture.log").string()});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("a month of silence crossed in %.1f s of wall-clock time\n", seconds);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto counts = ParseRunCounts(run.out);
  EXPECT_EQ(counts.At("0", "delivered"), 40) << run.out;
  for (const char* column : {"old", "no room", "future", "waiting", "overflow"})
    EXPECT_EQ(counts.At("total", column), 0) << column << "\n" << run.out;
  // The generators' traffic on channel 2 went on after the silence, and not through it: a frame
  // every 1000 s of it ran.
  std::size_t before = 0, after = 0;
  std::istringstream capture(ReadFile(dir / "capture.log"));
  for (std::string line; std::getline(capture, line);) {
    if (line.find(" can2 ") == std::string::npos) continue;
    const double t = std::stod(line.substr(1));
    (t < 20.0 ? before : after) += 1;
  }
  EXPECT_GT(before, 0u);
  EXPECT_GT(after, 0u);
  EXPECT_EQ(static_cast<long long>(before + after), counts.At("2", "delivered"));
  EXPECT_LT(after, 2600u * 1000u / 2);
  std::set<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = run.err.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_TRUE(lines.insert(run.err.substr(start, end - start)).second)
        << "repeated: " << run.err.substr(start, end - start);
  EXPECT_LT(lines.size(), 10u) << run.err;
}

// 2 s frames (the longest allowed) on a 1 Mbit/s bus full of empty frames: 36,364 messages a
// frame on each of two channels, every one delivered.
TEST(ReplayValues, TwoSecondFramesAtFullBusLoadLoseNothing) {
  TempDir dir;
  WriteFile(dir / "settings/Application.sea",
            "list \"CAN-Sources\"\n"
            "line \"A\", \"1\", \"0\", \"0\", \"-1\", \"0\", \"-1000\", \"-1001\"\n"
            "line \"B\", \"1\", \"1\", \"0\", \"-1\", \"0\", \"-1000\", \"-1001\"\n"
            "list \"A-0\"\nline \"0 1073741823 1\"\n"
            "list \"B-1\"\nline \"0 1073741823 1\"\n");
  WriteFile(dir / "settings/candriver.conf",
            "channel 0 virtual\nchannel 1 virtual\n"
            "generator default id=1 period=10us length=0\n");
  const auto run = testing_support::RunProgram(
      "canhost", {"run", "--settings", (dir / "settings").string(), "--fast", "--quiet",
                  "--seconds", "6", "--samples-per-frame", "2000"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto counts = ParseRunCounts(run.out);
  for (const char* channel : {"0", "1"}) {
    SCOPED_TRACE(channel);
    // 55 bits a frame with the most stuff bits: 18,182 a second.
    EXPECT_GT(counts.At(channel, "received"), 3 * 36'000) << run.out;
    EXPECT_EQ(counts.At(channel, "overflow"), 0) << run.out;
    EXPECT_EQ(counts.At(channel, "no room"), 0) << run.out;
    EXPECT_EQ(counts.At(channel, "old"), 0) << run.out;
    EXPECT_EQ(counts.At(channel, "received"),
              counts.At(channel, "delivered") + counts.At(channel, "waiting"))
        << run.out;
  }
}

}  // namespace
}  // namespace e2e_test
