// canhost's log formats end to end: convert through every pair of formats, python-can as the
// independent reader and writer of BLF and TRC, the replay of a BLF log against the replay of its
// candump conversion, --capture in every format, and the errors a broken log gives.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "host/candriver/CanLogFormat.h"
#include "tests/host/LogStreams.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanDriverKvaser;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr std::array<const char*, 4> kExtensions = {".log", ".asc", ".blf", ".trc"};
constexpr const char* kPython = "/usr/bin/python3";

std::string Peer() {
  return (testing_support::SourceDir() / "tests/interop/pycan_peer.py").string();
}

testing_support::ProgramResult Convert(const std::filesystem::path& in,
                                       const std::filesystem::path& out,
                                       std::vector<std::string> options = {}) {
  options.insert(options.begin(), {"convert", in.string(), out.string()});
  return RunProgram("canhost", options);
}

std::vector<CanLogEntry> ReadLog(const std::filesystem::path& file) {
  return logstreams::Read(ReadFile(file), file.string());
}

// Every pair of formats: IN -> A -> B -> candump gives back IN's frames.
TEST(CanhostConvert, RoundTripsThroughEveryPairOfFormatsKeepTheFrames) {
  TempDir dir;
  const auto stream = logstreams::Mixed(2000, 1'700'000'000'123'456'000);
  WriteFile(dir / "in.log", logstreams::Write(CanLogFormat::Candump, stream));
  for (const char* a : kExtensions) {
    for (const char* b : kExtensions) {
      SCOPED_TRACE(std::string(a) + " -> " + b);
      const auto first = Convert(dir / "in.log", dir / (std::string("a") + a));
      ASSERT_EQ(first.exitCode, 0) << first.err;
      const auto second = Convert(dir / (std::string("a") + a), dir / (std::string("b") + b));
      ASSERT_EQ(second.exitCode, 0) << second.err;
      const auto third = Convert(dir / (std::string("b") + b), dir / "out.log");
      ASSERT_EQ(third.exitCode, 0) << third.err;
      EXPECT_EQ(ReadFile(dir / "out.log"), ReadFile(dir / "in.log"));
    }
  }
  // A conversion says what it read and wrote.
  const auto said = Convert(dir / "in.log", dir / "x.trc");
  EXPECT_EQ(said.out, "canhost convert: 2000 frames from " + (dir / "in.log").string() +
                          " (candump) to " + (dir / "x.trc").string() + " (TRC)\n");
}

TEST(CanhostConvert, ChoosesChannelsAndATimeRange) {
  TempDir dir;
  const auto stream = logstreams::Mixed(100, 1'000'000'000);
  WriteFile(dir / "in.log", logstreams::Write(CanLogFormat::Candump, stream));
  const auto run =
      Convert(dir / "in.log", dir / "out.blf",
              {"--channel", "can1", "--channel", "can2", "--from", "0.01", "--to", "0.05"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<CanLogEntry> want;
  for (const auto& e : stream)
    if (e.channel != "can0" && e.timeNs - stream[0].timeNs >= 10'000'000 &&
        e.timeNs - stream[0].timeNs <= 50'000'000)
      want.push_back(e);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(logstreams::Compare(want, ReadLog(dir / "out.blf")), "");
  EXPECT_EQ(Convert(dir / "in.log", dir / "x.log", {"--from", "-1"}).exitCode, 2);
  EXPECT_EQ(Convert(dir / "in.log", dir / "x.log", {"--trc-version", "2.0"}).exitCode, 2);
}

// Bad input: the place is named, what can be read is converted, and the exit code says so; a
// frame the output cannot hold stops the conversion and leaves no output.
TEST(CanhostConvert, BadInputIsNamedWithFileAndPlace) {
  TempDir dir;
  WriteFile(dir / "bad.trc",
            ";$FILEVERSION=2.1\n 1 1.0 DT 1 0123 Rx - 1 11\n 2 x DT 1 0123 Rx - 0\n");
  auto run = Convert(dir / "bad.trc", dir / "out.log");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find((dir / "bad.trc").string() + ":3: bad time offset 'x'"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("1 lines of"), std::string::npos) << run.err;
  EXPECT_EQ(ReadLog(dir / "out.log").size(), 1u);

  const std::string blf =
      logstreams::Write(CanLogFormat::Blf, logstreams::Mixed(50, 1'700'000'000'000'000'000));
  WriteFile(dir / "cut.blf", blf.substr(0, blf.size() - 10));
  run = Convert(dir / "cut.blf", dir / "out.log");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find((dir / "cut.blf").string() + ": byte 144: truncated container"),
            std::string::npos)
      << run.err;
  std::string corrupt = blf;
  corrupt[144 + 40] ^= 0x5A;
  WriteFile(dir / "corrupt.blf", corrupt);
  run = Convert(dir / "corrupt.blf", dir / "out.log");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("bad zlib stream in the container"), std::string::npos) << run.err;

  WriteFile(dir / "text.blf", "(1.0) can0 123#\n");
  run = Convert(dir / "text.blf", dir / "out.log");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "canhost: " + (dir / "text.blf").string() +
                         ": not a BLF file: it does not start with 'LOGG'\n");

  WriteFile(dir / "fd.log", "(1.0) can0 123#11\n(2.0) can0 123##1AA\n");
  std::filesystem::remove(dir / "out.trc");
  run = Convert(dir / "fd.log", dir / "out.trc", {"--trc-version", "1.1"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "canhost: " + (dir / "fd.log").string() + ":2: not written: " +
                         (dir / "out.trc").string() + ": TRC 1.1 holds no CAN FD frames\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.trc"));
}

// python-can's lines (see pycan_peer.py): time in µs since the first, channel number, id, flags,
// length, data.
struct PeerFrame {
  long long micros;
  unsigned channel;
  std::string rest;  // id, flags, length, data
};

std::vector<PeerFrame> ParsePeer(const std::string& text) {
  std::vector<PeerFrame> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    PeerFrame f;
    fields >> f.micros >> f.channel;
    std::getline(fields, f.rest);
    out.push_back(f);
  }
  return out;
}

// canhost's frames as python-can's lines, times from the first of them.
std::vector<PeerFrame> AsPeer(const std::vector<CanLogEntry>& entries) {
  std::vector<PeerFrame> out;
  for (const auto& e : entries) {
    const CanMessage& m = e.message;
    PeerFrame f;
    f.micros = (e.timeNs - entries.front().timeNs + 500) / 1000;
    f.channel = ChannelNumber(e.channel);
    char head[64];
    if (m.flags & kCanFlagErrorFrame) {
      f.rest = " 0 X 0 -";
    } else {
      std::string flags;
      for (const auto& [bit, letter] :
           std::initializer_list<std::pair<std::uint32_t, char>>{{kCanFlagExtended, 'E'},
                                                                 {kCanFlagRemote, 'R'},
                                                                 {kCanFlagFd, 'F'},
                                                                 {kCanFlagBrs, 'B'},
                                                                 {kCanFlagEsi, 'S'},
                                                                 {kCanFlagTransmitted, 'T'}})
        if (m.flags & bit) flags += letter;
      std::string data;
      for (int i = 0; !(m.flags & kCanFlagRemote) && i < m.length; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02X", m.data[i]);
        data += byte;
      }
      std::snprintf(head, sizeof head, " %X %s %d ", m.id, flags.empty() ? "-" : flags.c_str(),
                    m.length);
      f.rest = head + (data.empty() ? "-" : data);
    }
    out.push_back(f);
  }
  return out;
}

void ExpectSameFrames(const std::vector<PeerFrame>& want, const std::vector<PeerFrame>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    // python-can computes its times in doubles: a microsecond either way.
    EXPECT_NEAR(static_cast<double>(got[i].micros), static_cast<double>(want[i].micros), 1.0);
    EXPECT_EQ(got[i].channel, want[i].channel);
    EXPECT_EQ(got[i].rest, want[i].rest);
  }
}

#define SKIP_WITHOUT_PYTHON_CAN()                                                                 \
  do {                                                                                            \
    const auto probe = RunProgram(kPython, {"-c", "import can"});                                 \
    if (probe.exitCode != 0)                                                                      \
      GTEST_SKIP() << kPython << " cannot import python-can (Debian python3-can): " << probe.err; \
  } while (false)

// Logs python-can's writers make from its stream read by canhost, message for message.
TEST(LogFormatInterop, CanhostReadsWhatPythonCanWrites) {
  SKIP_WITHOUT_PYTHON_CAN();
  TempDir dir;
  for (const std::string format : {"blf", "trc"}) {
    SCOPED_TRACE(format);
    const auto file = dir / ("python." + format);
    const auto written = RunProgram(kPython, {Peer(), "write", format, file.string()});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    const auto want = ParsePeer(written.out);
    ASSERT_GT(want.size(), 50u);
    ExpectSameFrames(want, AsPeer(ReadLog(file)));
  }
}

// Logs canhost writes read by python-can, message for message: everything from BLF; from TRC
// what python-can 4.1 reads of it (classic data frames), in versions 2.1 and 1.1.
TEST(LogFormatInterop, PythonCanReadsWhatCanhostWrites) {
  SKIP_WITHOUT_PYTHON_CAN();
  TempDir dir;
  const auto stream = logstreams::Mixed(400, 1'700'000'000'123'456'000);
  WriteFile(dir / "in.log", logstreams::Write(CanLogFormat::Candump, stream));
  std::vector<CanLogEntry> classic, oneChannel;
  for (const auto& e : stream) {
    if (e.message.flags & (kCanFlagFd | kCanFlagRemote | kCanFlagErrorFrame)) continue;
    classic.push_back(e);
    if (e.channel == "can0") oneChannel.push_back(e);
  }
  WriteFile(dir / "one.log", logstreams::Write(CanLogFormat::Candump, oneChannel));
  const struct {
    const char* in;
    const char* out;
    std::vector<std::string> options;
    const std::vector<CanLogEntry>* want;
  } cases[] = {
      {"in.log", "canhost.blf", {}, &stream},
      {"in.log", "canhost.trc", {}, &classic},
      {"one.log", "canhost11.trc", {"--trc-version", "1.1"}, &oneChannel},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    const auto converted = Convert(dir / c.in, dir / c.out, c.options);
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    // python-can reads the times of a TRC file from its start time of the file: its first time
    // is where the first frame is after that start.
    const auto read = RunProgram(kPython, {Peer(), "read", (dir / c.out).string()}, {"TZ=UTC"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    ExpectSameFrames(AsPeer(*c.want), ParsePeer(read.out));
  }
}

// The replay of a BLF log decodes to the same signals as the replay of its candump conversion,
// and --capture writes each format with the same frames.
TEST(LogFormatReplay, ABlfLogAndItsCandumpConversionGiveTheSameSignals) {
  TempDir dir;
  WriteFile(dir / "settings/Application.sea",
            "list \"CAN-Sources\"\nline \"Replay\", \"1\", \"0\", \"0\"\n");
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> logs = {
      {testing_support::SourceDir() / "tests/data/sink_e2e.log",
       testing_support::SourceDir() / "tests/data/sink_e2e.dbc"}};
  const auto shared = testing_support::SharedDir() / "realdata";
  if (std::filesystem::exists(shared))
    logs.emplace_back(shared / "traces/kuksa_tesla_m3_dogmode.log",
                      shared / "dbc/kuksa_Model3CAN.dbc");
  else
    std::printf("missing %s: the real trace is left out\n", shared.string().c_str());
  for (const auto& [log, dbc] : logs) {
    SCOPED_TRACE(log.string());
    // Captures in every format of the fixture; the real trace, twelve thousand frames, in one.
    const std::vector<const char*> captured =
        log == logs.front().first ? std::vector<const char*>(kExtensions.begin(), kExtensions.end())
                                  : std::vector<const char*>{".blf"};
    ASSERT_EQ(Convert(log, dir / "drive.blf").exitCode, 0);
    ASSERT_EQ(Convert(dir / "drive.blf", dir / "drive.log").exitCode, 0);
    std::map<std::string, std::string> signals, captures;
    for (const char* replayed : {"drive.blf", "drive.log"}) {
      for (const char* extension : captured) {
        const std::string capture = std::string(replayed) + ".capture" + extension;
        const auto run = RunProgram(
            "canhost",
            {"run", "--settings", (dir / "settings").string(), "--fast", "--quiet", "--replay",
             (dir / replayed).string(), "--dbc", "0=" + dbc.string(), "--all-signals", "--signals",
             (dir / "signals.csv").string(), "--capture", (dir / capture).string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        signals[std::string(replayed) + extension] = ReadFile(dir / "signals.csv");
        ASSERT_EQ(Convert(dir / capture, dir / "capture.log").exitCode, 0);
        captures[std::string(replayed) + extension] = ReadFile(dir / "capture.log");
      }
    }
    // dbc decode reads the BLF log as the candump one, channel "1" for "can0".
    const auto fromBlf = RunProgram(
        "canhost", {"dbc", "decode", "--dbc", dbc.string(), (dir / "drive.blf").string()});
    const auto fromLog = RunProgram(
        "canhost", {"dbc", "decode", "--dbc", dbc.string(), (dir / "drive.log").string()});
    ASSERT_EQ(fromBlf.exitCode, 0) << fromBlf.err;
    std::string renamed;
    std::istringstream rows(fromBlf.out);
    for (std::string row; std::getline(rows, row);) {
      const std::size_t channel = row.find(",1,");
      renamed += channel == std::string::npos ? row : row.replace(channel, 3, ",can0,");
      renamed += '\n';
    }
    EXPECT_EQ(renamed, fromLog.out);
    EXPECT_GT(fromLog.out.size(), 1000u);
    const std::string& reference = signals.begin()->second;
    EXPECT_GT(std::count(reference.begin(), reference.end(), '\n'), 100);
    for (const auto& [name, text] : signals)
      EXPECT_EQ(text, reference) << name;
    for (const auto& [name, text] : captures)
      EXPECT_EQ(text, captures.begin()->second) << name;
  }
}

}  // namespace
