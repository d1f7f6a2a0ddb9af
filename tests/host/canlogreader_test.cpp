#include "host/candriver/CanLogReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using namespace XeCanDriverKvaser;

struct Expected {
  const char* line;
  const char* channel;
  std::int64_t timeNs;
  std::uint32_t id;
  std::int32_t length;
  std::uint32_t flags;
  const char* data;  // hex; the bytes after them are zero
};

void ExpectFrame(CanLogReader& reader, const Expected& e) {
  SCOPED_TRACE(e.line);
  CanLogEntry entry;
  ASSERT_TRUE(reader.ReadLine(e.line, entry));
  ASSERT_EQ(entry.error, "");
  EXPECT_EQ(entry.channel, e.channel);
  EXPECT_EQ(entry.timeNs, e.timeNs);
  EXPECT_EQ(entry.message.id, e.id);
  EXPECT_EQ(entry.message.length, e.length);
  EXPECT_EQ(entry.message.flags, e.flags);
  const std::string hex = e.data;
  for (std::size_t i = 0; i < 64; ++i) {
    const int expected = 2 * i < hex.size() ? std::stoi(hex.substr(2 * i, 2), nullptr, 16) : 0;
    EXPECT_EQ(entry.message.data[i], expected) << "byte " << i;
  }
}

void ExpectError(CanLogReader& reader, const char* line, const std::string& reason) {
  CanLogEntry entry;
  ASSERT_TRUE(reader.ReadLine(line, entry)) << line;
  EXPECT_NE(entry.error.find(reason), std::string::npos) << line << " -> " << entry.error;
}

// A line that sets the format, or one the reader passes over: no entry.
void ExpectNoEntry(CanLogReader& reader, const char* line) {
  CanLogEntry entry;
  EXPECT_FALSE(reader.ReadLine(line, entry)) << line;
}

TEST(CanLogReader, CandumpExamplesOfTheHeader) {
  CanLogReader r;
  const Expected frames[] = {
      {"(1436509052.249713) can0 123#DEADBEEF", "can0", 1436509052249713000, 0x123, 4, 0,
       "DEADBEEF"},
      {"(0.5) vcan0 00000343#15.05.0E.05", "vcan0", 500000000, 0x343, 4, kCanFlagExtended,
       "15050E05"},
      {"(1.0) can1 123#R", "can1", 1000000000, 0x123, 0, kCanFlagRemote, ""},
      {"(1.0) can1 123#R7", "can1", 1000000000, 0x123, 7, kCanFlagRemote, ""},
      {"(2.0) can0 123##1AABB", "can0", 2000000000, 0x123, 2, kCanFlagFd | kCanFlagBrs, "AABB"},
      {"(2.0) can0 7FF#112233 T", "can0", 2000000000, 0x7FF, 3, kCanFlagTransmitted, "112233"},
      {"(3.0) can0 20000080#0000000000000000", "can0", 3000000000, 0, 0, kCanFlagErrorFrame, ""},
      {"(3.0) can0 ERROR", "can0", 3000000000, 0, 0, kCanFlagErrorFrame, ""},
  };
  for (const Expected& e : frames)
    ExpectFrame(r, e);
  ExpectError(r, "(4.0) can0 064#F001FFFFFFFFFFFFFFFF", "10 data bytes in a classic CAN frame");
  ExpectError(r, "(4.0) can0 12#00", "identifier '12' needs 3 or 8 hex digits");
  ExpectError(r, "(4.0) can0 123##0112233445566778899", "9 is no CAN FD length");
  ExpectError(r, "(x) can0 123#00", "bad time '(x)'");
  ExpectError(r, "(1.0) can0 800#00", "above 7FF");
}

TEST(CanLogReader, AscExamplesOfTheHeader) {
  CanLogReader r;
  ExpectNoEntry(r, "base hex  timestamps absolute");
  const Expected frames[] = {
      {"3.098426 1  18EBFF00x  Rx d 8 01 A0 0F A6 60 3B D1 40  Length = 273910", "1", 3098426000,
       0x18EBFF00, 8, kCanFlagExtended, "01A00FA6603BD140"},
      {"2.584921 4 300 Tx r 8", "4", 2584921000, 0x300, 8, kCanFlagRemote | kCanFlagTransmitted,
       ""},
      {"2.501000 1 ErrorFrame", "1", 2501000000, 0, 0, kCanFlagErrorFrame, ""},
      {"30.005071 CANFD 2 Rx 300 Name 1 0 8 8 01 02 03 04 05 06 07 08", "2", 30005071000, 0x300, 8,
       kCanFlagFd | kCanFlagBrs, "0102030405060708"},
  };
  for (const Expected& e : frames)
    ExpectFrame(r, e);
  ExpectNoEntry(r, "1.015991 1 Statistic: D 0 R 0");
  ExpectNoEntry(r, "3.297743 1 J1939TP FEE3p 6 0 0 - Rx d 23 A0");
  ExpectError(r, "4.0 1 123 Rx d 4 01 02", "fewer data bytes");
  // Decimal numbers and relative times.
  ExpectNoEntry(r, "base dec  timestamps relative");
  ExpectFrame(r, {"1.5 2 291 Rx d 1 255", "2", 1500000000, 0x123, 1, 0, "FF"});
  ExpectFrame(r, {"0.25 2 291 Rx d 0", "2", 1750000000, 0x123, 0, 0, ""});
}

// Lines a broken or hostile tool could write: read as errors with a short reason, never as a frame
// that is not in the line, never as a time past what 64-bit nanoseconds hold.
TEST(CanLogReader, OutOfRangeTimesShiftedColumnsAndBinaryAreErrors) {
  CanLogReader r;
  ExpectFrame(r, {"(3999999999.999999) can0 123#", "can0", 3999999999999999000, 0x123, 0, 0, ""});
  ExpectError(r, "(9999999999.999999) can0 123#00", "(seconds below 4000000000)");
  ExpectError(r, "(9223372035.999999) can0 123#", "bad time");
  ExpectError(r, "9999999999.5 1 123 Rx d 0", "time '9999999999.5' is not below 4000000000 s");
  // Relative ASC times that would add up beyond the limit are refused, not wrapped.
  ExpectNoEntry(r, "base hex  timestamps relative");
  ExpectFrame(r, {"3000000000 1 1 Rx d 0", "1", 3000000000000000000, 1, 0, 0, ""});
  ExpectError(r, "3000000000 1 1 Rx d 0", "is not below");
  ExpectNoEntry(r, "base hex  timestamps absolute");

  // The flags field found where the columns put it marks a remote request (0x10), but the line
  // has data bytes: it is not a remote frame with 8 data bytes.
  ExpectError(r, "1.0 CANFD 1 Rx 123 0 0 8 8 01 02 03 04 05 06 07 08 0 0 10",
              "flags '10' mark a remote frame, but the line has 8 data bytes");
  ExpectError(r, "1.0 CANFD 1 Rx 300 1 0 8 8 01 02 03 04 05 06 07 08 102203 133 e0006659 4650 4b14",
              "mark a remote frame, but the line has 8 data bytes");
  ExpectError(r, "1.0 CANFD 1 Rx 123 0 0 2 8 01 02 03 04 05 06 07 08 0 0 0",
              "data length 8 does not match DLC 2");
  ExpectFrame(r,
              {"1.0 CANFD 1 Rx 123 0 0 8 0 0 0 10", "1", 1000000000, 0x123, 8, kCanFlagRemote, ""});

  // A binary line: the reason quotes at most 60 characters, escaped.
  const std::string binary = "\x01\x02" + std::string(5000, '\xff');
  CanLogEntry entry;
  ASSERT_TRUE(r.ReadLine(binary, entry));
  std::string quoted;
  for (int i = 0; i < 58; ++i)
    quoted += "\\xFF";
  EXPECT_EQ(entry.error,
            std::to_string(entry.line) + ": not a log line: '\\x01\\x02" + quoted + "...'");
}

// The real logs: every frame line is read, the lines a tool would reject are reported with file
// and line, and nothing else.
TEST(CanLogReader, ReadsTheRealLogsAndReportsTheirBadLines) {
  SKIP_WITHOUT_SHARED("realdata/traces");
  struct File {
    const char* name;
    int frames;
    int errorFrames;
    std::vector<std::string> errors;
  };
  const std::vector<File> files = {
      {"cantools_socialledge.log", 5, 1, {"cantools_socialledge.log:4: 10 data bytes"}},
      {"cantools_abs.log", 44, 0, {}},
      {"cantools_misc.log", 44, 0, {}},
      {"kuksa_tesla_m3_dogmode.log", 12138, 0, {}},
      {"savvycan_tesla_ms_candump.log", 12974, 0, {}},
      {"pycan_logfile.asc", 16, 4, {}},
  };
  for (const File& file : files) {
    SCOPED_TRACE(file.name);
    CanLogReader reader;
    ASSERT_TRUE(reader.Open(testing_support::SharedDir() / "realdata/traces" / file.name));
    CanLogEntry entry;
    int frames = 0, errorFrames = 0;
    std::vector<std::string> errors;
    while (reader.Next(entry)) {
      if (!entry.error.empty()) {
        errors.push_back(entry.error);
      } else if (entry.message.flags & kCanFlagErrorFrame) {
        ++errorFrames;
      } else {
        ++frames;
      }
    }
    EXPECT_EQ(frames, file.frames);
    EXPECT_EQ(errorFrames, file.errorFrames);
    ASSERT_EQ(errors.size(), file.errors.size()) << (errors.empty() ? "" : errors[0]);
    for (std::size_t i = 0; i < errors.size(); ++i)
      EXPECT_NE(errors[i].find(file.errors[i]), std::string::npos) << errors[i];
  }
  CanLogReader missing;
  EXPECT_FALSE(missing.Open("/nonexistent/drive.log"));
  EXPECT_EQ(missing.error(), "/nonexistent/drive.log: cannot open: No such file or directory");
}

// The fuzzers read logs from memory: the same text must give the same entries, line numbers and
// errors as the file, whatever its line ends and however its last line ends.
TEST(CanLogReader, ALogInMemoryReadsAsItsFile) {
  const std::string text =
      "(1.0) can0 123#01\r\n\r\n  \n(2.0) can0 12#00\n(3.0) can1 7FF#R\r\nbase dec\n"
      "4.0 2 100 Rx d 1 255";
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "a.log", text);
  CanLogReader file, memory;
  ASSERT_TRUE(file.Open(dir / "a.log"));
  memory.OpenText(text, (dir / "a.log").string());
  CanLogEntry a, b;
  int entries = 0;
  while (file.Next(a)) {
    ASSERT_TRUE(memory.Next(b));
    EXPECT_EQ(a.line, b.line);
    EXPECT_EQ(a.error, b.error);
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.timeNs, b.timeNs);
    EXPECT_EQ(std::memcmp(&a.message, &b.message, sizeof a.message), 0) << "line " << a.line;
    ++entries;
  }
  EXPECT_FALSE(memory.Next(b));
  EXPECT_EQ(entries, 4);
  EXPECT_EQ(a.line, 7);
}

}  // namespace

namespace {

using namespace XeCanDriverKvaser;

// A file that is no log in any sense: a FIFO or a device is refused before it is opened (it would
// block or never end), and a line longer than any log's ends the reading with one error, so a
// file of zeros costs neither memory nor time.
TEST(CanLogReader, OnlyRegularFilesWithLinesOfALogAreRead) {
  testing_support::TempDir dir;
  CanLogReader reader;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(reader.Open(dir / "fifo"));
  EXPECT_EQ(reader.error(), (dir / "fifo").string() + ": is a FIFO, not a regular file");

  testing_support::WriteFile(dir / "long.log",
                             "(1.000000) can0 123#11\n" +
                                 std::string(CanLogReader::kMaxLineBytes + 1, '\0') +
                                 "\n(2.000000) can0 123#22\n");
  ASSERT_TRUE(reader.Open(dir / "long.log"));
  CanLogEntry entry;
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.error, "");
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.error,
            (dir / "long.log").string() +
                ":2: a line longer than 65536 bytes: not a CAN log; reading stops here");
  EXPECT_FALSE(reader.Next(entry));

  // A line of exactly the longest length is read.
  testing_support::WriteFile(
      dir / "edge.log",
      "(1.000000) can0 123#11" + std::string(CanLogReader::kMaxLineBytes - 22, ' ') + "\n");
  ASSERT_TRUE(reader.Open(dir / "edge.log"));
  ASSERT_TRUE(reader.Next(entry));
  EXPECT_EQ(entry.error, "");
  EXPECT_EQ(entry.message.id, 0x123u);
  EXPECT_FALSE(reader.Next(entry));
}

}  // namespace
