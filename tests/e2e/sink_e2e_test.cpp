// canhost run decodes: a replayed log, decoded by the sink (--all-signals --signals), against
// "canhost dbc decode" of the frame-aligned capture of the same run and of the log itself. Every
// value of the log is in the signals at the frame-aligned time of its message, except those the
// design leaves out, and each of those is accounted for.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr double kSamplePeriod = 0.001;
constexpr int kSamplesPerFrame = 100;

struct Value {
  double time;
  double value;
};

std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// time,signal,value,unit -> values by signal.
std::map<std::string, std::vector<Value>> ReadSignals(const std::string& text) {
  std::map<std::string, std::vector<Value>> out;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "time,signal,value,unit");
  while (std::getline(in, line)) {
    const auto f = SplitCsv(line);
    out[f.at(1)].push_back({std::stod(f.at(0)), std::stod(f.at(2))});
  }
  return out;
}

// time,channel,id,message,signal,value -> values by "MESSAGE.SIGNAL", in file order.
std::map<std::string, std::vector<Value>> ReadDecoded(const std::string& text) {
  std::map<std::string, std::vector<Value>> out;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const auto f = SplitCsv(line);
    out[f.at(3) + "." + f.at(4)].push_back({std::stod(f.at(0)), std::stod(f.at(5))});
  }
  return out;
}

// The slow sample of the measurement a frame-aligned time falls on.
long long Sample(double seconds) {
  return std::llround(seconds / kSamplePeriod);
}

struct Accounting {
  std::size_t logValues = 0;    // values of the log ("canhost dbc decode" of it)
  std::size_t old = 0;          // of those, values of messages the source dropped as too old
  std::size_t matched = 0;      // values in the signals, at their time
  std::size_t firstSample = 0;  // left out: the message is in a frame's first slow sample
  std::size_t twice = 0;        // left out: a second value of the signal in one slow sample
};

// Runs the replay and checks every value; `a` tells how the log's values were accounted for.
void Check(const std::filesystem::path& log, const std::filesystem::path& dbc, Accounting& a) {
  TempDir dir;
  // One source on channel 0 and no driver configuration: nothing but the log on the bus, and
  // virtual channels without clock drift.
  WriteFile(dir / "settings/Application.sea",
            "list \"CAN-Sources\"\nline \"Replay\", \"1\", \"0\", \"0\"\n");
  const auto run = RunProgram(
      "canhost", {"run", "--settings", (dir / "settings").string(), "--fast", "--quiet", "--replay",
                  log.string(), "--dbc", "0=" + dbc.string(), "--all-signals", "--signals",
                  (dir / "signals.csv").string(), "--capture", (dir / "capture.log").string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  WriteFile(dir / "capture.candump", ReadFile(dir / "capture.log"));
  const auto aligned = RunProgram(
      "canhost", {"dbc", "decode", "--dbc", dbc.string(), (dir / "capture.candump").string()});
  const auto original =
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc.string(), log.string()});
  EXPECT_EQ(aligned.exitCode, 0) << aligned.err;
  const auto expected = ReadDecoded(aligned.out);
  const auto fromLog = ReadDecoded(original.out);
  const auto signals = ReadSignals(ReadFile(dir / "signals.csv"));

  for (const auto& [key, values] : fromLog)
    if (!expected.count(key)) a.logValues += values.size(), a.old += values.size();
  std::size_t sinkValues = 0;
  for (const auto& [name, values] : signals)
    sinkValues += values.size();
  for (const auto& [key, values] : expected) {
    SCOPED_TRACE(key);
    // Every message was delivered, or dropped as old and counted in the summary: the capture
    // decodes to the log's values.
    const auto& logged = fromLog.at(key);
    a.logValues += logged.size();
    a.old += logged.size() - values.size();
    if (testing_support::ParseRunCounts(run.out).At("0", "old") == 0) {
      EXPECT_EQ(values.size(), logged.size());
    }
    const std::string bare = key.substr(key.find('.') + 1);
    const auto it = signals.count(key) ? signals.find(key) : signals.find(bare);
    std::size_t next = 0;
    std::set<long long> seen;
    for (std::size_t i = 0; i < values.size(); ++i) {
      const long long sample = Sample(values[i].time);
      if (sample % kSamplesPerFrame == 0) {
        ++a.firstSample;  // packets in a frame's first slow sample are not decoded
      } else if (!seen.insert(sample).second) {
        ++a.twice;  // a second value of the signal in one slow sample is dropped
      } else {
        ASSERT_NE(it, signals.end()) << "no values at all";
        ASSERT_LT(next, it->second.size());
        const Value& got = it->second[next++];
        EXPECT_EQ(Sample(got.time), sample) << "value " << i;
        EXPECT_NEAR(got.value, values[i].value, 1e-6 * std::fabs(values[i].value) + 1e-9);
        ++a.matched;
      }
    }
    if (it != signals.end()) {
      EXPECT_EQ(next, it->second.size()) << "values the log does not hold";
    }
  }
  EXPECT_EQ(a.matched, sinkValues);
}

TEST(CanhostRunSignals, AFixtureLogDecodesToItsValuesAtTheirFrameAlignedTimes) {
  const auto data = testing_support::SourceDir() / "tests/data";
  Accounting a;
  Check(data / "sink_e2e.log", data / "sink_e2e.dbc", a);
  EXPECT_EQ(a.logValues, 300u * 2 / 3 * 2 + 100u);
  // The log has both kinds of value the design leaves out.
  EXPECT_GT(a.firstSample, 0u);
  EXPECT_GT(a.twice, 0u);
  EXPECT_EQ(a.matched + a.firstSample + a.twice, a.logValues);
}

TEST(CanhostRunSignals, RealTracesDecodeToTheValuesOfTheirDbcFiles) {
  const std::filesystem::path shared = testing_support::SharedDir() / "realdata";
  if (!std::filesystem::exists(shared)) GTEST_SKIP() << "missing " << shared.string();
  // Not replayed: cantools_abs.log spans 36 days of idle bus, cantools_socialledge.log has a line
  // the replay refuses, pycan_logfile.asc has no DBC file of its own, and
  // savvycan_tesla_ms_candump.log stamps whole seconds: each second's messages are due at one
  // instant, more than the sending channel's queue holds, so the bus drops most before any source
  // hears them.
  const std::vector<std::pair<const char*, const char*>> pairs = {
      {"traces/cantools_float.log", "dbc/cantools_floating_point.dbc"},
      {"traces/cantools_misc.log", "dbc/cantools_msxii_system_can.dbc"},
      {"traces/kuksa_tesla_m3_dogmode.log", "dbc/kuksa_Model3CAN.dbc"},
  };
  for (const auto& [log, dbc] : pairs) {
    SCOPED_TRACE(log);
    Accounting a;
    Check(shared / log, shared / dbc, a);
    EXPECT_GT(a.logValues, 0u);
    EXPECT_EQ(a.matched + a.firstSample + a.twice + a.old, a.logValues);
    std::printf(
        "%s: %zu values: %zu in the signals at their time; left out: %zu in a frame's "
        "first slow sample, %zu second in one slow sample, %zu of messages dropped as "
        "old\n",
        log, a.logValues, a.matched, a.firstSample, a.twice, a.old);
  }
}

}  // namespace
