#include "host/cananalysis/DbcFrameDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>

#include "host/cananalysis/DbcParser.h"

namespace {

using namespace XeCanAnalysis;

using Values = std::vector<std::pair<std::string, double>>;

struct Decoded {
  DbcDatabase db;
  DbcFrameDecoder decoder;
  explicit Decoded(std::string_view text) : db(DbcParser::Parse(text)), decoder(db) {}

  Values Decode(std::uint32_t id, std::vector<std::uint8_t> data) const {
    Values out;
    data.resize(std::max<std::size_t>(data.size(), 1));
    const int n = decoder.Decode(id, data.data(), static_cast<int>(data.size()),
                                 [&](std::uint32_t flat, double v) {
                                   const auto [m, s] = db.Locate(flat);
                                   out.emplace_back(db.messages[m].signals[s].name, v);
                                 });
    EXPECT_EQ(n < 0 ? 0u : static_cast<std::size_t>(n), out.size());
    return out;
  }
};

// Bit by bit, straight from the DBC definition of the two byte orders.
std::uint64_t NaiveRaw(const std::uint8_t* data, int start, int length, bool intel) {
  std::uint64_t v = 0;
  int pos = start;
  for (int i = 0; i < length; ++i) {
    const std::uint64_t bit = (data[pos / 8] >> (pos % 8)) & 1u;
    if (intel) {
      v |= bit << i;
      ++pos;
    } else {
      v = (v << 1) | bit;
      pos = pos % 8 == 0 ? pos + 15 : pos - 1;
    }
  }
  return v;
}

double NaivePhysical(const DbcSignal& s, const std::uint8_t* data) {
  const std::uint64_t raw =
      NaiveRaw(data, s.startBit, s.length, s.byteOrder == DbcByteOrder::Intel);
  double v = 0;
  if (s.valueType == DbcValueType::Float32) {
    float f;
    const auto bits = static_cast<std::uint32_t>(raw);
    std::memcpy(&f, &bits, 4);
    v = f;
  } else if (s.valueType == DbcValueType::Float64) {
    std::memcpy(&v, &raw, 8);
  } else if (s.valueType == DbcValueType::Signed && s.length < 64 && (raw >> (s.length - 1)) & 1u) {
    v = -static_cast<double>((std::uint64_t{1} << s.length) - raw);
  } else if (s.valueType == DbcValueType::Signed) {
    std::int64_t i;
    std::memcpy(&i, &raw, 8);
    v = static_cast<double>(i);
  } else {
    v = static_cast<double>(raw);
  }
  return (s.factor == 1.0 && s.offset == 0.0) ? v : v * s.factor + s.offset;
}

TEST(DbcFrameDecoder, AgreesWithBitByBitDecoderOnRandomLayouts) {
  const std::uint32_t seed = 20240611;
  std::mt19937_64 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::size_t compared = 0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
    std::string text = "BO_ 100 M: " + std::to_string(pick(1, 64)) + " X\n";
    std::string valtypes;
    const int count = pick(1, 6);
    for (int k = 0; k < count; ++k) {
      const bool intel = pick(0, 1) == 1;
      const int kind = pick(0, 9);  // 0: float, 1: double, else integer
      const int length = kind == 0 ? 32 : kind == 1 ? 64 : pick(1, 64);
      int start;
      if (intel) {
        start = pick(0, 512 - length);
      } else {  // any MSB position whose LSB stays within 64 bytes
        do
          start = pick(0, 511);
        while ((start / 8) * 8 + 7 - start % 8 + length > 512);
      }
      const bool plain = pick(0, 3) == 0;
      char line[200];
      std::snprintf(line, sizeof line, " SG_ S%d : %d|%d@%d%c (%.17g,%.17g) [0|0] \"\" X\n", k,
                    start, length, intel ? 1 : 0, pick(0, 1) ? '-' : '+',
                    plain ? 1.0 : std::ldexp(pick(-1000, 1000), pick(-12, 4)) + 0.1 * pick(0, 3),
                    plain ? 0.0 : pick(-5000, 5000) / 7.0);
      text += line;
      if (kind <= 1)
        valtypes += "SIG_VALTYPE_ 100 S" + std::to_string(k) + " : " + (kind ? "2" : "1") + ";\n";
    }
    const Decoded d(text + valtypes);
    ASSERT_EQ(d.db.ErrorCount(), 0u) << text;
    for (int frame = 0; frame < 6; ++frame) {
      std::uint8_t data[64];
      for (auto& b : data)
        b = static_cast<std::uint8_t>(pick(0, 255));
      const int length = pick(0, 64);
      std::vector<std::pair<std::uint32_t, double>> got;
      d.decoder.Decode(100, data, length,
                       [&](std::uint32_t i, double v) { got.emplace_back(i, v); });
      std::size_t next = 0;
      for (std::uint32_t i = 0; i < d.db.signalCount; ++i) {
        const DbcSignal& s = d.db.messages[0].signals[i];
        if (s.BytesNeeded() > length) continue;
        ASSERT_LT(next, got.size()) << text;
        ASSERT_EQ(got[next].first, i);
        const double expected = NaivePhysical(s, data);
        if (std::isnan(expected))
          EXPECT_TRUE(std::isnan(got[next].second)) << text;
        else
          EXPECT_EQ(got[next].second, expected) << text << "signal " << s.name;
        ++next;
        ++compared;
      }
      EXPECT_EQ(next, got.size());
    }
  }
  EXPECT_GT(compared, 20000u);
}

TEST(DbcFrameDecoder, HandCheckedLayouts) {
  const Decoded d(
      "BO_ 1 A: 8 X\n"
      " SG_ MotoCross : 3|12@0+ (1,0) [0|0] \"\" X\n"   // 4 bits of byte 0, all of byte 1
      " SG_ MotoWord : 23|16@0+ (1,0) [0|0] \"\" X\n"   // bytes 2..3, big endian
      " SG_ IntelCross : 36|8@1- (1,0) [0|0] \"\" X\n"  // high nibble of 4, low of 5
      "BO_ 2 B: 8 X\n"
      " SG_ Wide : 0|64@1- (1,0) [0|0] \"\" X\n"
      "BO_ 3 C: 8 X\n"
      " SG_ F : 0|32@1- (2,1) [0|0] \"\" X\n"
      " SG_ D : 39|32@0- (0.5,-3) [0|0] \"\" X\n"
      "BO_ 4 E: 8 X\n"
      " SG_ Dbl : 7|64@0- (10,0.25) [0|1] \"\" X\n"
      "SIG_VALTYPE_ 3 F : 1;\n"
      "SIG_VALTYPE_ 4 Dbl : 2;\n");
  ASSERT_EQ(d.db.diagnostics.size(), 0u);
  EXPECT_EQ(d.Decode(1, {0x0A, 0xBC, 0x12, 0x34, 0xF0, 0x0F, 0, 0}),
            (Values{{"MotoCross", 0xABC}, {"MotoWord", 0x1234}, {"IntelCross", -1}}));
  EXPECT_EQ(d.Decode(2, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
            (Values{{"Wide", -1.0}}));
  EXPECT_EQ(d.Decode(2, {0, 0, 0, 0, 0, 0, 0, 0x80}), (Values{{"Wide", -9223372036854775808.0}}));
  // 1.5f little endian = 00 00 C0 3F; D = 0xFFFFFFFE big endian = -2 -> -2 * 0.5 - 3
  EXPECT_EQ(d.Decode(3, {0x00, 0x00, 0xC0, 0x3F, 0xFF, 0xFF, 0xFF, 0xFE}),
            (Values{{"F", 4.0}, {"D", -4.0}}));
  // -2.5 as big-endian double: C0 04 00 00 00 00 00 00 -> -2.5 * 10 + 0.25, beyond its [0|1]
  EXPECT_EQ(d.Decode(4, {0xC0, 0x04, 0, 0, 0, 0, 0, 0}), (Values{{"Dbl", -24.75}}));
}

TEST(DbcFrameDecoder, MultiplexingSelectsSignalsByTreeAndRanges) {
  const Decoded d(
      "BO_ 2348875518 Extended: 12 X\n"
      " SG_ S7 m1 : 40|24@1+ (1,0) [0|0] \"\" X\n"
      " SG_ S6 M : 32|8@1+ (1,0) [0|0] \"\" X\n"
      " SG_ S4 m2 : 8|8@1+ (1,0) [0|0] \"\" X\n"
      " SG_ S3 m0 : 16|16@1+ (1,0) [0|0] \"\" X\n"
      " SG_ S1 m0M : 4|4@1+ (1,0) [0|0] \"\" X\n"
      " SG_ S0 M : 0|4@1+ (1,0) [0|0] \"\" X\n"
      " SG_ Plain : 64|8@1+ (1,0) [0|0] \"\" X\n"
      "SG_MUL_VAL_ 2348875518 S7 S6 1-1;\n"
      "SG_MUL_VAL_ 2348875518 S4 S1 2-5, 9-9;\n"
      "SG_MUL_VAL_ 2348875518 S3 S1 0-0;\n"
      "SG_MUL_VAL_ 2348875518 S1 S0 0-0;\n"
      "BO_ 7 Simple: 2 X\n"
      " SG_ Sw M : 0|4@1+ (1,0) [0|0] \"\" X\n"
      " SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" X\n"
      " SG_ B m2 : 8|8@1+ (1,0) [0|0] \"\" X\n"
      " SG_ Always : 4|4@1+ (1,0) [0|0] \"\" X\n");
  ASSERT_EQ(d.db.diagnostics.size(), 0u);
  const std::uint32_t ext = 0x80000000u | 0x0C00FEFEu;
  // S0 = 0 selects S1 (= 3), which selects S4 (range 2-5); S6 = 1 selects S7.
  EXPECT_EQ(
      d.Decode(ext, {0x30, 0x11, 0x22, 0x33, 0x01, 0x44, 0x55, 0x66, 0x77}),
      (Values{{"S7", 0x665544}, {"S6", 1}, {"S4", 0x11}, {"S1", 3}, {"S0", 0}, {"Plain", 0x77}}));
  // S1 = 0 selects S3 instead; S1 = 9 selects S4 through the second range; S0 = 1 selects no S1
  // and so neither of its children; S6 = 7 selects nothing, its siblings still come.
  EXPECT_EQ(d.Decode(ext, {0x00, 0x11, 0x22, 0x33, 0x07, 0, 0, 0, 0x77}),
            (Values{{"S6", 7}, {"S3", 0x3322}, {"S1", 0}, {"S0", 0}, {"Plain", 0x77}}));
  EXPECT_EQ(d.Decode(ext, {0x90, 0x11, 0, 0, 0x07, 0, 0, 0})[1],
            (std::pair<std::string, double>("S4", 0x11)));
  EXPECT_EQ(d.Decode(ext, {0x51, 0x11, 0, 0, 0x07, 0, 0, 0}), (Values{{"S6", 7}, {"S0", 1}}));

  EXPECT_EQ(d.Decode(7, {0x51, 0x99}), (Values{{"Sw", 1}, {"A", 0x99}, {"Always", 5}}));
  EXPECT_EQ(d.Decode(7, {0x52, 0x99}), (Values{{"Sw", 2}, {"B", 0x99}, {"Always", 5}}));
  EXPECT_EQ(d.Decode(7, {0x5F, 0x99}), (Values{{"Sw", 15}, {"Always", 5}}));
  // A frame of one byte carries the switch but not A: A is skipped, the rest decoded.
  EXPECT_EQ(d.Decode(7, {0x51}), (Values{{"Sw", 1}, {"Always", 5}}));
}

TEST(DbcFrameDecoder, IdentifiersLookUpByFormat) {
  const Decoded d(
      "BO_ 291 Std: 1 X\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n"
      "BO_ 2147483939 Ext: 1 X\n SG_ B : 0|8@1+ (1,0) [0|0] \"\" X\n"
      "BO_ 2147487744 Big: 1 X\n SG_ C : 0|8@1+ (1,0) [0|0] \"\" X\n");
  EXPECT_EQ(d.Decode(0x123, {7}), (Values{{"A", 7}}));
  EXPECT_EQ(d.Decode(0x80000123u, {7}), (Values{{"B", 7}}));
  EXPECT_EQ(d.Decode(0x1000, {7}), (Values{{"C", 7}}));  // above 0x7FF: extended
  std::uint8_t byte = 0;
  EXPECT_EQ(d.decoder.Decode(0x124, &byte, 1, [](std::uint32_t, double) {}), -1);
  EXPECT_EQ(d.decoder.Decode(0x80000124u, &byte, 1, [](std::uint32_t, double) {}), -1);
  // An 11-bit identifier in the format the file lacks (8-digit candump ids) finds its message.
  EXPECT_EQ(d.Decode(0x80000000u | 0x1000, {7}), (Values{{"C", 7}}));
  const Decoded onlyStd("BO_ 1 S: 1 X\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n");
  EXPECT_EQ(onlyStd.Decode(0x80000001u, {9}), (Values{{"A", 9}}));
}

}  // namespace
