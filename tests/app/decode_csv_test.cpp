#include "app/DecodeCsv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "app/CsvWriter.h"
#include "host/cananalysis/DbcParser.h"
#include "tests/support/TestSupport.h"

namespace {

using XeCanDriverKvaser::CanLogEntry;

XeCanAnalysis::DbcDatabase Parse(const testing_support::TempDir& dir, const std::string& text) {
  testing_support::WriteFile(dir / "car.dbc", text);
  XeCanAnalysis::DbcDatabase db;
  std::string error;
  EXPECT_TRUE(XeCanAnalysis::DbcParser::ParseFile((dir / "car.dbc").string(), db, error)) << error;
  return db;
}

// The header's examples: a field quoted as needed, and numbers that read back exactly.
TEST(DecodeCsv, RowsCarryShortestExactValuesAndQuotedNames) {
  testing_support::TempDir dir;
  const auto db = Parse(dir,
                        "BO_ 201 ECMEngineStatus: 8 E\n"
                        " SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|0] \"rpm\" X\n"
                        " SG_ Fuel : 16|32@1- (0.001,0) [0|0] \"l\" X\n");
  ASSERT_FALSE(db.messages.empty());
  std::FILE* out = std::fopen((dir / "out.csv").c_str(), "w");
  ASSERT_NE(out, nullptr);
  {
    app::CsvWriter csv(out);
    app::DecodeCsv rows(db, csv);
    rows.Header();
    CanLogEntry e;
    e.timeNs = 1436509052249713000;
    e.channel = "can0";
    e.message.id = 201;
    e.message.length = 8;
    const std::uint8_t data[8] = {0xC1, 0x17, 0x11, 0x00, 0x00, 0x00};  // 1520.25 and 0.017
    std::copy(std::begin(data), std::end(data), e.message.data);
    EXPECT_EQ(rows.Frame(e), 2);
    e.timeNs = 250125;
    e.channel = "my,bus";
    EXPECT_EQ(rows.Frame(e), 2);
    e.message.id = 0x456;
    EXPECT_EQ(rows.Frame(e), -1);
    ASSERT_TRUE(csv.Finish()) << csv.error();
  }
  std::fclose(out);
  EXPECT_EQ(testing_support::ReadFile(dir / "out.csv"),
            "time,channel,id,message,signal,value\n"
            "1436509052.249713,can0,0C9,ECMEngineStatus,EngineSpeed,1520.25\n"
            "1436509052.249713,can0,0C9,ECMEngineStatus,Fuel,0.017\n"
            "0.000250125,\"my,bus\",0C9,ECMEngineStatus,EngineSpeed,1520.25\n"
            "0.000250125,\"my,bus\",0C9,ECMEngineStatus,Fuel,0.017\n");

  // Shortest, yet the same double when read back, whatever the bits; whole numbers as to_chars
  // has them (10000, 1e+05, -0).
  std::mt19937_64 rng(42);
  const auto same = [](double value) {
    char fast[app::CsvWriter::kNumberRoom + 1], text[app::CsvWriter::kNumberRoom + 1];
    *app::CsvWriter::FormatNumber(fast, value) = '\0';
    *std::to_chars(text, text + app::CsvWriter::kNumberRoom, value).ptr = '\0';
    EXPECT_STREQ(fast, text);
    return std::strtod(fast, nullptr) == value;
  };
  for (int i = 0; i < 100000; ++i) {
    double value;
    const std::uint64_t bits = rng();
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) {
      ASSERT_TRUE(same(value)) << value;
    }
  }
  for (int i = -20000; i <= 20000; ++i)
    ASSERT_TRUE(same(i) && same(i * 0.001) && same(i * 10.0)) << i;
  EXPECT_TRUE(same(-0.0) && same(1e5) && same(9999.5));
}

TEST(DecodeCsv, TimesKeepMicrosecondsAndNanosecondsWhenThere) {
  const auto format = [](std::int64_t ns) {
    char text[32];
    return std::string(text, app::DecodeCsv::FormatSeconds(text, ns));
  };
  EXPECT_EQ(format(0), "0.000000");
  EXPECT_EQ(format(1'500'000'000), "1.500000");
  EXPECT_EQ(format(1'000'000'010), "1.00000001");
  EXPECT_EQ(format(-2'000'001), "-0.002000001");
  EXPECT_EQ(format(3'999'999'999'999'999'999), "3999999999.999999999");
}

// Rows cross the block boundaries in order, after what the stream held; a field longer than a
// block goes whole; a full disk is reported.
TEST(CsvWriter, BlocksKeepTheOrderAndAFullDiskIsReported) {
  testing_support::TempDir dir;
  std::FILE* out = std::fopen((dir / "out.csv").c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fputs("before\n", out);
  std::ostringstream expected;
  expected << "before\n";
  const std::string longField(app::CsvWriter::kBlock + 123, 'x');
  {
    app::CsvWriter csv(out);
    for (int i = 0; i < 100000; ++i) {
      csv.Put(std::to_string(i));
      csv.Put(',');
      csv.Number(i * 0.5);
      csv.EndRow();
      expected << i << ',' << i * 0.5 << '\n';
    }
    csv.Line({"a", longField, app::CsvWriter::Field("b,c")});
    expected << "a," << longField << ",\"b,c\"\n";
    ASSERT_TRUE(csv.Finish()) << csv.error();
  }
  std::fclose(out);
  EXPECT_EQ(testing_support::ReadFile(dir / "out.csv"), expected.str());

  const auto full = dir / "full";
  ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  std::FILE* device = std::fopen(full.c_str(), "w");
  ASSERT_NE(device, nullptr);
  app::CsvWriter csv(device);
  csv.Line({"time", "value"});
  EXPECT_FALSE(csv.Finish());
  EXPECT_EQ(csv.error(), "cannot write the output: No space left on device");
  std::fclose(device);
}

}  // namespace

// Recurring numbers come from the table, the others are formatted: either way the text is
// FormatNumber's. Five thousand sample times overfill the table's 512 places, so entries are
// replaced, also by numbers whose hash collides; 0 and -0 differ in their bits only.
TEST(RecentNumbers, WritesEveryNumberAsFormatNumberDoes) {
  app::RecentNumbers recent;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> sample(0, 4999);
  std::vector<double> values = {0.0, -0.0, 0.0, 1e300, -0.0};
  for (int i = 0; i < 60000; ++i)
    values.push_back((i % 3 == 0 ? sample(rng) : i % 700) / 1000.0);
  for (const double value : values) {
    char cached[app::CsvWriter::kNumberRoom + 1], direct[app::CsvWriter::kNumberRoom + 1];
    *recent.Write(cached, value) = '\0';
    *app::CsvWriter::FormatNumber(direct, value) = '\0';
    ASSERT_STREQ(cached, direct) << value;
  }
}
