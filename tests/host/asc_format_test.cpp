// ASC as canhost writes it: the lines of AscFormat.h's examples, and a file that opens and
// closes as the format's readers expect.
#include "host/candriver/AscFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/host/LogStreams.h"

namespace {

using namespace XeCanDriverKvaser;

std::string Line(std::int64_t timeNs, std::uint32_t channel, CanMessage m) {
  std::array<char, kAscLineCapacity> line;
  return {line.data(), FormatAsc(line, timeNs, channel, m)};
}

TEST(AscFormat, WritesTheHeaderExamples) {
  CanMessage m;
  m.id = 0x123;
  m.length = 2;
  m.data[0] = 0x11;
  m.data[1] = 0x22;
  EXPECT_EQ(Line(5'000'000'400, 1, m), "   5.000000 1  123             Rx   d 2 11 22\n");
  CanMessage x;
  x.id = 0x123;
  x.flags = kCanFlagExtended;
  x.length = 1;
  x.data[0] = 0xAB;
  EXPECT_EQ(Line(200'000'000, 2, x), "   0.200000 2  123x            Rx   d 1 AB\n");
  CanMessage r;
  r.id = 0x7FF;
  r.flags = kCanFlagRemote | kCanFlagTransmitted;
  r.length = 7;
  EXPECT_EQ(Line(1'000'000'000, 1, r), "   1.000000 1  7FF             Tx   r 7\n");
  CanMessage e;
  e.flags = kCanFlagErrorFrame;
  EXPECT_EQ(Line(3'000'000'000, 1, e), "   3.000000 1  ErrorFrame\n");
  CanMessage fd;
  fd.id = 0x10;
  fd.flags = kCanFlagFd | kCanFlagBrs | kCanFlagEsi;
  fd.length = 12;
  EXPECT_EQ(Line(1'000'000'000, 3, fd),
            "   1.000000 CANFD   3 Rx         10  1 1 9 12 00 00 00 00 00 00 00 00 00 00 00 00 0 0 "
            "7000 0 0 0 0 0\n");
  EXPECT_EQ(Line(1'436'509'052'249'713'000, 12, m),
            "1436509052.249713 12  123             Rx   d 2 11 22\n");
}

TEST(AscFormat, AFileOpensWithItsHeaderAndEndsWithItsTriggerBlock) {
  const std::string text = logstreams::Write(CanLogFormat::Asc, logstreams::Mixed(3, 0));
  EXPECT_TRUE(text.starts_with(AscHeader())) << text;
  EXPECT_TRUE(text.ends_with(kAscFooter)) << text;
  const std::string empty = logstreams::Write(CanLogFormat::Asc, {});
  EXPECT_EQ(empty, std::string(AscHeader()) + std::string(kAscFooter));
}

}  // namespace
