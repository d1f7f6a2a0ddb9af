#include "tests/e2e/ReplayCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <queue>
#include <sstream>

#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/cananalysis/DbcParser.h"
#include "host/candriver/CanLogReader.h"
#include "host/candriver/FrameTiming.h"
#include "tests/support/TestSupport.h"

namespace e2e_test {
namespace {

using XeCanDriverKvaser::CanLogEntry;
using XeCanDriverKvaser::detail::BusParams;

constexpr std::int64_t kTickNs = 125'000;
constexpr std::int64_t kWindowNs = 1'000'000'000;
constexpr double kSlackSeconds = 10 * 125e-6;

struct Value {
  double time;  // seconds: from the start of the measurement (signals) or the wire model
  double value;
};

// Fields of one CSV record of canhost's writers (RFC 4180 quotes; no line breaks in these files).
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::vector<std::vector<std::string>> Records(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line))
    if (!line.empty()) out.push_back(Fields(line));
  return out;
}

bool Same(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// The codes of the "CAN-Sources" line for a bus.
std::string SourceLine(const BusParams& bus) {
  const std::map<std::int32_t, int> classic = {{1'000'000, -1}, {500'000, -2}, {250'000, -3}};
  const std::map<std::int32_t, int> arbitration = {{500'000, -1000}, {1'000'000, -1001}};
  const std::map<std::int32_t, int> data = {
      {1'000'000, -1001}, {2'000'000, -1002}, {4'000'000, -1003}, {8'000'000, -1004}};
  const auto code = [](const std::map<std::int32_t, int>& table, std::int32_t rate, int fallback) {
    const auto it = table.find(rate);
    return std::to_string(it == table.end() ? fallback : it->second);
  };
  return "line \"Replay\", \"1\", \"0\", \"0\", \"" + code(classic, bus.bitrate, -2) + "\", \"" +
         (bus.fd ? "1" : "0") + "\", \"" + code(arbitration, bus.arbitration, -1000) + "\", \"" +
         code(data, bus.data, -1001) + "\"\n";
}

// A frame of the log as the replay plays it.
struct Played {
  std::size_t index;  // among the log's frames, in file order
  std::int64_t timeNs;
  std::int64_t dueNs = 0;  // end on the wire, from the replay's start
};

// The log's frames in playing order with their times on the wire (see ReplayCheck.h).
std::vector<Played> PlayingOrder(const std::vector<CanLogEntry>& frames, const BusParams& bus) {
  const auto later = [](const Played& a, const Played& b) {
    return a.timeNs != b.timeNs ? a.timeNs > b.timeNs : a.index > b.index;
  };
  std::priority_queue<Played, std::vector<Played>, decltype(later)> window(later);
  std::vector<Played> out;
  out.reserve(frames.size());
  std::int64_t latest = 0;
  std::size_t next = 0;
  while (next < frames.size() || !window.empty()) {
    while (next < frames.size() && (window.empty() || latest - window.top().timeNs < kWindowNs)) {
      latest = next == 0 ? frames[next].timeNs : std::max(latest, frames[next].timeNs);
      window.push({next, frames[next].timeNs});
      ++next;
    }
    out.push_back(window.top());
    window.pop();
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::int64_t since = out[i].timeNs - out.front().timeNs;
    const std::int64_t half = since + kTickNs / 2;  // to the nearest tick, rounding down
    const std::int64_t logged =
        (half / kTickNs - (half % kTickNs != 0 && half < 0 ? 1 : 0)) * kTickNs;
    const std::int64_t wire =
        i == 0 ? logged
               : out[i - 1].dueNs + XeCanDriverKvaser::detail::FrameDurationNs(
                                        frames[out[i].index].message, bus, false);
    out[i].dueNs = std::max(logged, wire);
  }
  return out;
}

struct Expected {
  std::size_t position;
  Value value;
};

// Runs the replay into the report's signals file; what "canhost dbc decode" makes of the log.
std::string RunReplayAndDecode(const ReplaySetup& setup, ReplayReport& report) {
  auto dir = std::make_shared<testing_support::TempDir>();
  report.folder = dir;
  testing_support::WriteFile(*dir / "settings/Application.sea",
                             "list \"CAN-Sources\"\n" + SourceLine(setup.bus));
  report.signalsFile = *dir / "signals.csv";
  char period[32];
  std::snprintf(period, sizeof period, "%.9g", setup.samplePeriod);
  std::vector<std::string> args = {"run",
                                   "--settings",
                                   (*dir / "settings").string(),
                                   "--fast",
                                   "--quiet",
                                   "--replay",
                                   setup.log.string(),
                                   "--dbc",
                                   "0=" + setup.dbc.string(),
                                   "--all-signals",
                                   "--signals",
                                   report.signalsFile.string(),
                                   "--sample-period",
                                   period,
                                   "--samples-per-frame",
                                   std::to_string(setup.samplesPerFrame)};
  report.run = testing_support::RunProgram("canhost", args);
  EXPECT_EQ(report.run.exitCode, 0) << report.run.err;
  const auto decoded = testing_support::RunProgram(
      "canhost", {"dbc", "decode", "--dbc", setup.dbc.string(), setup.log.string()});
  EXPECT_EQ(decoded.exitCode, 0) << decoded.err;

  return decoded.out;
}

// Matches each signal's values in the signals file with those expected, counting what is
// missing, extra or misplaced.
void Compare(std::map<std::string, std::vector<Expected>>& expected,
             std::map<std::string, std::vector<Value>>& got, const ReplaySetup& setup,
             ReplayReport& report) {
  // Both in playing order: a signal's values in the file are in time order, and frames are
  // played in time order on the wire.
  for (auto& [key, want] : expected) {
    std::stable_sort(want.begin(), want.end(),
                     [](const Expected& a, const Expected& b) { return a.position < b.position; });
    const std::vector<Value>& have = got[key];
    std::size_t j = 0;
    for (const Expected& w : want) {
      // The next value of the signal that is the same, skipping any the log does not hold.
      std::size_t k = j;
      while (k < have.size() && !Same(have[k].value, w.value.value))
        ++k;
      if (k == have.size()) {
        ++report.missing;
        if (report.firstProblem.empty())
          report.firstProblem = key + " = " + std::to_string(w.value.value) + " at " +
                                std::to_string(w.value.time) + " s missing";
        continue;
      }
      report.extra += k - j;
      j = k + 1;
      const double off = have[k].time - w.value.time;
      if (off < -setup.samplePeriod - 1e-9 || off > setup.samplePeriod + kSlackSeconds + 1e-9) {
        ++report.misplaced;
        if (report.firstProblem.empty())
          report.firstProblem = key + " = " + std::to_string(w.value.value) + " at " +
                                std::to_string(have[k].time) + " s, its message ended at " +
                                std::to_string(w.value.time) + " s";
      } else {
        ++report.matched;
      }
    }
    report.extra += have.size() - j;
  }
  for (const auto& [name, values] : got)
    if (!expected.count(name)) report.extra += values.size();
}

// The frames of a log that a bus carries (no error frames, no unreadable lines).
std::vector<CanLogEntry> LogFrames(const std::filesystem::path& log) {
  std::vector<CanLogEntry> frames;
  XeCanDriverKvaser::CanLogReader reader;
  EXPECT_TRUE(reader.Open(log)) << reader.error();
  for (CanLogEntry e; reader.Next(e);)
    if (e.error.empty() && !(e.message.flags & XeCanDriverKvaser::kCanFlagErrorFrame))
      frames.push_back(e);
  return frames;
}

// Each signal's values in a signals file, in file order.
std::map<std::string, std::vector<Value>> SignalsFileValues(const std::filesystem::path& file) {
  std::map<std::string, std::vector<Value>> got;
  for (const auto& f : Records(testing_support::ReadFile(file)))
    got[f.at(1)].push_back(
        {std::strtod(f.at(0).c_str(), nullptr), std::strtod(f.at(2).c_str(), nullptr)});
  return got;
}

}  // namespace

ReplayReport CheckReplay(const ReplaySetup& setup) {
  ReplayReport report;
  const std::string decodedOut = RunReplayAndDecode(setup, report);

  // The log's frames, and what the replay plays of them.
  const std::vector<CanLogEntry> frames = LogFrames(setup.log);
  std::vector<CanLogEntry> playable;
  std::vector<std::size_t> fileIndex;  // of each playable frame among `frames`
  playable.reserve(frames.size());
  fileIndex.reserve(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if ((frames[i].message.flags & XeCanDriverKvaser::kCanFlagFd) && !setup.bus.fd) continue;
    playable.push_back(frames[i]);
    fileIndex.push_back(i);
  }
  report.frames = playable.size();
  std::vector<std::int64_t> due(frames.size(), -1);
  std::vector<std::size_t> position(frames.size(), 0);
  const std::vector<Played> order = PlayingOrder(playable, setup.bus);
  for (std::size_t k = 0; k < order.size(); ++k) {
    due[fileIndex[order[k].index]] = order[k].dueNs;
    position[fileIndex[order[k].index]] = k;
  }

  // "canhost dbc decode" writes the values of each frame in file order: the DBC file says how
  // many each frame has, so each row is tied to its frame.
  XeCanAnalysis::DbcDatabase db;
  std::string error;
  EXPECT_TRUE(XeCanAnalysis::DbcParser::ParseFile(setup.dbc, db, error)) << error;
  const XeCanAnalysis::DbcFrameDecoder decoder(db);
  std::map<std::string, int> uses;
  for (const auto& m : db.messages)
    for (const auto& s : m.signals)
      ++uses[s.name];
  const auto rows = Records(decodedOut);
  std::map<std::string, std::vector<Expected>> expected;
  std::size_t row = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto& m = frames[i].message;
    if (m.flags & XeCanDriverKvaser::kCanFlagRemote) continue;
    const int n = decoder.Decode(XeCanDriverKvaser::FlaggedId(m.id, m.flags), m.data, m.length,
                                 [](std::uint32_t, double) {});
    for (int k = 0; k < n && row < rows.size(); ++k, ++row) {
      const auto& f = rows[row];
      const std::string key = uses[f.at(4)] > 1 ? f.at(3) + "." + f.at(4) : f.at(4);
      if (due[i] < 0) continue;  // a CAN FD frame the classic channel does not take
      ++report.values;
      expected[key].push_back(
          {position[i],
           {static_cast<double>(due[i]) / 1e9, std::strtod(f.at(5).c_str(), nullptr)}});
    }
  }
  EXPECT_EQ(row, rows.size()) << "rows of canhost dbc decode not tied to a frame";

  std::map<std::string, std::vector<Value>> got = SignalsFileValues(report.signalsFile);
  Compare(expected, got, setup, report);
  return report;
}

std::string Describe(const std::string& name, const ReplayReport& r) {
  std::ostringstream out;
  out << name << ": " << r.frames << " frames, " << r.values << " values, " << r.matched
      << " matched, " << r.missing << " missing, " << r.misplaced << " misplaced, " << r.extra
      << " extra";
  if (!r.firstProblem.empty()) out << " (first: " << r.firstProblem << ")";
  return out.str();
}

}  // namespace e2e_test
