// TRC: the lines of TrcFormat.h's examples read and written, the versions before 2.1, start
// times exact to the nanosecond, and bad lines named with file and line.
#include "host/candriver/TrcFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "host/candriver/CanLogReader.h"
#include "host/mfc/Text.h"
#include "tests/host/LogStreams.h"

namespace {

using namespace XeCanDriverKvaser;

std::string Data(int length, std::uint8_t first) {
  std::string out;
  for (int i = 0; i < length; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, " %02X", static_cast<std::uint8_t>(first + i));
    out += byte;
  }
  return out;
}

TEST(TrcFormat, ReadsTheHeaderExamples) {
  const std::string v11 =
      ";$FILEVERSION=1.1\r\n;$STARTTIME=25569.5\r\n;   comment\r\n"
      "     1)      1841.0  Rx         0001  8  00 11 22 33 44 55 66 77\r\n"
      "     2)      1842.3  Tx     18EFC034  2  01 02\r\n"
      "     3)      1843.0  Rx         0100  3  RTR\r\n"
      "     4)      1843.0  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY\r\n";
  auto e = logstreams::Read(v11, "a.trc");
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].timeNs, 43'201'841'000'000);
  EXPECT_EQ(e[0].channel, "1");
  EXPECT_EQ(e[0].message.length, 8);
  EXPECT_EQ(e[0].message.data[7], 0x77);
  EXPECT_EQ(e[0].line, 4);
  EXPECT_EQ(e[1].message.flags, kCanFlagExtended | kCanFlagTransmitted);
  EXPECT_EQ(e[1].message.id, 0x18EFC034u);
  EXPECT_EQ(e[1].timeNs, 43'201'842'300'000);
  EXPECT_EQ(e[2].message.flags, kCanFlagRemote);
  EXPECT_EQ(e[2].message.length, 3);

  const std::string v21 =
      ";$FILEVERSION=2.1\n;$STARTTIME=25569\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n"
      "      1      1059.900 DT  2     0300 Rx -  8    00 00 00 00 04 00 00 00\n"
      "      2      1298.987 FB  1     0400 Rx -  9   " +
      Data(12, 1) +
      "\n"
      "      3      1300.000 BI  1 18EFC034 Tx -  15  " +
      Data(64, 0) +
      "\n"
      "      4      1355.001 RR  1     0500 Rx -  2\n"
      "      5      1400.000 ER  1          Rx -  0\n"
      "      6      1400.500 ST  1          Rx -  4    00 00 00 08\n"
      "      7      1401.000 DT  1     0300 Rx -  9    00\n";
  e = logstreams::Read(v21, "b.trc");
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0].channel, "2");
  EXPECT_EQ(e[0].timeNs, 1'059'900'000);
  EXPECT_EQ(e[0].message.data[4], 4);
  EXPECT_EQ(e[1].message.flags, kCanFlagFd | kCanFlagBrs);
  EXPECT_EQ(e[1].message.length, 12);
  EXPECT_EQ(e[1].message.data[11], 12);
  EXPECT_EQ(e[2].message.flags,
            kCanFlagFd | kCanFlagBrs | kCanFlagEsi | kCanFlagExtended | kCanFlagTransmitted);
  EXPECT_EQ(e[2].message.length, 64);
  EXPECT_EQ(e[3].message.flags, kCanFlagRemote);
  EXPECT_EQ(e[3].message.length, 2);
  EXPECT_EQ(e[4].message.flags, kCanFlagErrorFrame);
  EXPECT_EQ(e[4].channel, "1");
  EXPECT_EQ(e[5].error, "b.trc:10: DLC 9 in a classic frame");
}

TEST(TrcFormat, ReadsTheVersionsBefore21) {
  const std::pair<const char*, const char*> files[] = {
      {"v1.0", "     1)      1841  0123 2  11 22\n"},
      {"v1.2", ";$FILEVERSION=1.2\n     1)      1841.0 3  Rx         0123  2  11 22\n"},
      {"v1.3", ";$FILEVERSION=1.3\n     1)      1841.0 3  Rx         0123 -  2  11 22\n"},
      {"v2.0", ";$FILEVERSION=2.0\n      1      1841.000 DT     0123 Rx 2    11 22\n"},
      {"columns", ";$FILEVERSION=2.1\n;$COLUMNS=N,O,T,B,I,d,l,D\n 1 1841 DT 3 0123 Rx 2 11 22\n"},
  };
  for (const auto& [name, text] : files) {
    SCOPED_TRACE(name);
    const auto e = logstreams::Read(text, "v.trc");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].error, "");
    EXPECT_EQ(e[0].timeNs, 1'841'000'000);
    EXPECT_EQ(e[0].message.id, 0x123u);
    EXPECT_EQ(e[0].message.length, 2);
    EXPECT_EQ(e[0].message.data[1], 0x22);
  }
  EXPECT_EQ(logstreams::Read("     1)  1  0100  2  ERROR 00 19\n", "e.trc")[0].message.flags,
            kCanFlagErrorFrame);
  // A 2.0 CAN FD frame gives its length in bytes.
  const auto fd =
      logstreams::Read(";$FILEVERSION=2.0\n 1 1.0 FD 0123 Rx 12" + Data(12, 0), "f.trc");
  EXPECT_EQ(fd[0].message.length, 12);
  EXPECT_EQ(fd[0].message.flags, kCanFlagFd);
}

std::string Line(int version, std::uint64_t number, std::int64_t offsetNs, std::uint32_t channel,
                 CanMessage m) {
  std::array<char, kTrcLineCapacity> line;
  return {line.data(), FormatTrc(line, version, number, offsetNs, channel, m)};
}

TEST(TrcFormat, WritesTheHeaderExamples) {
  CanMessage m;
  m.id = 0x123;
  m.length = 2;
  m.data[0] = 0x11;
  m.data[1] = 0x22;
  EXPECT_EQ(Line(21, 1, 1'234'567'500, 1, m),
            "      1      1234.568 DT  1     0123 Rx -  2    11 22\r\n");
  CanMessage r;
  r.id = 0x18EFC034;
  r.flags = kCanFlagExtended | kCanFlagRemote | kCanFlagTransmitted;
  r.length = 3;
  EXPECT_EQ(Line(21, 2, 3'000'000'000, 2, r), "      2      3000.000 RR  2 18EFC034 Tx -  3\r\n");
  CanMessage err;
  err.flags = kCanFlagErrorFrame;
  EXPECT_EQ(Line(21, 3, 4'000'000'000, 1, err), "      3      4000.000 ER  1          Rx -  0\r\n");
  CanMessage one;
  one.id = 0x7FF;
  one.length = 1;
  one.data[0] = 0xAB;
  EXPECT_EQ(Line(11, 4, 5'000'000'000, 1, one),
            "     4)      5000.000  Rx         07FF  1  AB\r\n");
  CanMessage rtr;
  rtr.id = 0x100;
  rtr.flags = kCanFlagRemote;
  rtr.length = 3;
  EXPECT_EQ(Line(11, 5, 6'000'000'000, 1, rtr),
            "     5)      6000.000  Rx         0100  3  RTR\r\n");
  EXPECT_EQ(Line(21, 6, -1'500'000, 1, one),
            "      6        -1.500 DT  1     07FF Rx -  1    AB\r\n");
  // An offset or bus wider than its column still stands apart (found by fuzzing).
  EXPECT_EQ(Line(21, 7, 1'547'046'679'667'904'000, 1, one),
            "      7 1547046679667.904 DT  1     07FF Rx -  1    AB\r\n");
  EXPECT_EQ(Line(21, 8, 0, 400, one), "      8         0.000 DT 400     07FF Rx -  1    AB\r\n");
}

// The start time line holds any nanosecond of the years canhost reads; offsets go below it.
TEST(TrcFormat, StartTimesReadBackToTheNanosecond) {
  for (const std::int64_t start :
       {std::int64_t{0}, std::int64_t{1}, std::int64_t{1'436'509'052'249'713'123},
        std::int64_t{3'999'999'999'999'999'999}, std::int64_t{86'399'999'999'999}}) {
    std::array<char, kTrcHeaderCapacity> header;
    std::string text(header.data(), FormatTrcHeader(header, kTrcVersion21, start));
    text += "      1         0.000 DT  1     0123 Rx -  0\r\n";
    const auto e = logstreams::Read(text, "s.trc");
    ASSERT_EQ(e.size(), 1u) << text;
    EXPECT_EQ(e[0].timeNs, start) << text;
  }
}

TEST(TrcFormat, BadLinesAreNamedWithFileAndLine) {
  const std::pair<const char*, const char*> bad[] = {
      {"1 x DT 1 0123 Rx - 0", "bad time offset 'x'"},
      {"1 1.0 DT 1 0800 Rx - 0", "bad identifier '0800'"},
      {"1 1.0 DT 1 0123 Up - 0", "direction 'Up' is neither Rx nor Tx"},
      {"1 1.0 DT 1 0123 Rx - 3 11 22", "length 3 but 2 data bytes"},
      {"1 1.0 DT 1 0123 Rx - 2 11 2G", "bad data byte '2G'"},
      {"1 1.0 FD 1 0123 Rx - 16", "DLC 16 above 15"},
      {"1 1.0 XX 1 0123 Rx - 0", "type 'XX' is no TRC message type"},
      {"1 1.0 DT 1", "the line ends before its columns do"},
      {"1 99999999999999 DT 1 0123 Rx - 0", "bad time offset"},
  };
  for (const auto& [line, reason] : bad) {
    const auto e = logstreams::Read(std::string(";$FILEVERSION=2.1\n\n") + line + "\n", "bad.trc");
    ASSERT_EQ(e.size(), 1u) << line;
    EXPECT_EQ(e[0].error.rfind("bad.trc:3: ", 0), 0u) << e[0].error;
    EXPECT_NE(e[0].error.find(reason), std::string::npos) << e[0].error;
  }
  // A start millennia away is refused, not overflowed into some other date.
  EXPECT_EQ(logstreams::Read(";$STARTTIME=4321831.5\n", "s.trc")[0].error,
            "s.trc:1: bad $STARTTIME '4321831.5'");
  EXPECT_EQ(logstreams::Read(";$FILEVERSION=3.0\n", "v.trc")[0].error,
            "v.trc:1: unknown TRC version '3.0' (1.0 to 2.1 are read)");
  EXPECT_EQ(logstreams::Read(";$COLUMNS=N,O,T\n", "c.trc")[0].error,
            "c.trc:1: $COLUMNS 'N,O,T' lack O, I, L or l, or do not end in D");
}

}  // namespace
