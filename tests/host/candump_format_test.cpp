#include "host/candriver/CandumpFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/mfc/Text.h"

namespace {

using namespace XeCanDriverKvaser;

std::string Format(std::int64_t timeNs, std::string_view interface, const CanMessage& m) {
  std::array<char, kCandumpLineCapacity> line;
  return {line.data(), FormatCandump(line, timeNs, interface, m)};
}

CanMessage Message(std::uint32_t id, std::uint32_t flags, std::vector<std::uint8_t> data,
                   std::int32_t length = -1) {
  CanMessage m;
  m.id = id;
  m.flags = flags;
  m.length = length < 0 ? static_cast<std::int32_t>(data.size()) : length;
  std::copy(data.begin(), data.end(), m.data);
  return m;
}

TEST(CandumpFormat, WritesTheHeaderExamples) {
  EXPECT_EQ(Format(5'000'000'400, "can0", Message(0x123, 0, {0x11, 0x22})),
            "(5.000000) can0 123#1122\n");
  EXPECT_EQ(Format(200'000'000, "can1", Message(0x123, kCanFlagExtended, {0xAB})),
            "(0.200000) can1 00000123#AB\n");
  EXPECT_EQ(Format(1'000'000'000, "can0",
                   Message(0x10, kCanFlagFd | kCanFlagBrs, std::vector<std::uint8_t>(12, 0xC4))),
            "(1.000000) can0 010##1C4C4C4C4C4C4C4C4C4C4C4C4\n");
  EXPECT_EQ(
      Format(1'000'000'000, "can1", Message(0x123, kCanFlagRemote | kCanFlagTransmitted, {}, 7)),
      "(1.000000) can1 123#R7 T\n");
  EXPECT_EQ(Format(3'000'000'000, "can0", Message(0, kCanFlagErrorFrame, {})),
            "(3.000000) can0 20000000#\n");
  // The microsecond rounds up; a long interface name is cut, not written past the line.
  EXPECT_EQ(Format(1'999'999'600, "vcan0", Message(0x7FF, 0, {})), "(2.000000) vcan0 7FF#\n");
  EXPECT_LT(Format(0, std::string(500, 'x'),
                   Message(0x1FFFFFFF, kCanFlagExtended | kCanFlagFd,
                           std::vector<std::uint8_t>(64, 0xFF)))
                .size(),
            kCandumpLineCapacity);
}

// Every kind of frame written and read back comes out as it went in (times to the microsecond).
TEST(CandumpFormat, EveryKindOfFrameRoundTrips) {
  const unsigned seed = 20261206;
  std::mt19937 random(seed);
  std::vector<std::string_view> tokens;
  for (int i = 0; i < 5000; ++i) {
    CanMessage m;
    const unsigned kind = random() % 4;  // classic, remote, FD, error
    m.flags = (random() % 2 ? kCanFlagExtended : 0u) | (random() % 2 ? kCanFlagTransmitted : 0u);
    m.id = static_cast<std::uint32_t>(random()) &
           ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId);
    if (kind == 1) m.flags |= kCanFlagRemote;
    if (kind == 2)
      m.flags |= kCanFlagFd | (random() % 2 ? kCanFlagBrs : 0u) | (random() % 2 ? kCanFlagEsi : 0u);
    if (kind == 3) m = Message(0, kCanFlagErrorFrame | (m.flags & kCanFlagTransmitted), {});
    if (kind != 3)
      m.length = kind == 2 ? kFdLengths[random() % 16] : static_cast<std::int32_t>(random() % 9);
    if (kind == 0 || kind == 2)
      for (int b = 0; b < m.length; ++b)
        m.data[b] = static_cast<std::uint8_t>(random());
    const std::int64_t timeUs = static_cast<std::int64_t>(random() % 4'000'000'000u) * 1'000'000 +
                                static_cast<std::int64_t>(random() % 1'000'000);
    const std::string line = Format(timeUs * 1000, "can" + std::to_string(i % 16), m);
    ASSERT_EQ(line.back(), '\n');
    mfc::SplitBlanks(std::string_view(line).substr(0, line.size() - 1), tokens);
    CanLogEntry entry;
    ASSERT_EQ(ParseCandump(tokens, entry), "") << line << " seed " << seed;
    EXPECT_EQ(entry.timeNs, timeUs * 1000) << line;
    EXPECT_EQ(entry.channel, "can" + std::to_string(i % 16)) << line;
    EXPECT_EQ(std::memcmp(&entry.message, &m, sizeof m), 0) << line << " seed " << seed;
  }
}

// The plain line's one-pass reading agrees with ParseCandump on every line it takes (the header's
// examples, and lines built of right and wrong pieces at random), and leaves the others to it
// untouched. Seeded, printed on failure.
TEST(CandumpFormat, PlainLinesReadAsParseCandumpReadsThem) {
  CanLogEntry entry;
  for (const char* line : {"(1436509052.249713) can0 123#DEADBEEF", "(0.5) vcan0 00000343#"})
    EXPECT_TRUE(ParsePlainCandump(line, entry)) << line;
  EXPECT_EQ(entry.message.flags, kCanFlagExtended);
  for (const char* line :
       {"(1.0) can1 123#R", "(2.0) can0 123##1AABB", "(2.0) can0 7FF#112233 T",
        "(1.0)  can0 123#11", "(4.0) can0 12#00", "(161200038222222222222.5) can0 123#11"})
    EXPECT_FALSE(ParsePlainCandump(line, entry)) << line;

  const std::vector<std::string> times = {"(1.5)",
                                          "(0000000001.123456789123)",
                                          "(3999999999.999999)",
                                          "(4000000000.0)",
                                          "(1)",
                                          "(1.)",
                                          "(12345678901.0)",
                                          "(.5)",
                                          "(1.2.3)",
                                          "(1.5))"};
  const std::vector<std::string> blanks = {" ", " ", " ", "  ", "\t"};
  const std::vector<std::string> interfaces = {"can0", "vcan12", "x", "", "a\tb"};
  const std::vector<std::string> ids = {"123",      "7FF",      "800", "00000343", "1FFFFFFF",
                                        "20000080", "3FFFFFFF", "12",  "G23",      "abc"};
  const std::vector<std::string> data = {"",
                                         "11",
                                         "DEADBEEF",
                                         "1122334455667788",
                                         "112233445566778899",
                                         "1",
                                         "15.05",
                                         "R",
                                         "#1AA",
                                         "1122_9",
                                         "zz",
                                         "aBcD"};
  const std::vector<std::string> ends = {"", "", "", " T", " ", "\t"};
  const unsigned seed = 20261207;
  std::mt19937 random(seed);
  const auto pick = [&random](const std::vector<std::string>& from) -> const std::string& {
    return from[random() % from.size()];
  };
  std::vector<std::string_view> tokens;
  int plain = 0;
  for (int i = 0; i < 50000; ++i) {
    const std::string line = pick(times) + pick(blanks) + pick(interfaces) + pick(blanks) +
                             pick(ids) + "#" + pick(data) + pick(ends);
    CanLogEntry fast;
    fast.timeNs = 7;
    fast.line = 9;
    if (!ParsePlainCandump(line, fast)) {
      EXPECT_TRUE(fast.timeNs == 7 && fast.line == 9 && fast.channel.empty()) << line;
      continue;
    }
    ++plain;
    mfc::SplitBlanks(line, tokens);
    CanLogEntry general;
    ASSERT_EQ(ParseCandump(tokens, general), "") << line << " seed " << seed;
    EXPECT_EQ(fast.timeNs, general.timeNs) << line;
    EXPECT_EQ(fast.channel, general.channel) << line;
    EXPECT_EQ(std::memcmp(&fast.message, &general.message, sizeof(CanMessage)), 0) << line;
  }
  EXPECT_GT(plain, 200);  // about one line in a hundred is plain
}

}  // namespace
