#include <gtest/gtest.h>

#include <filesystem>

#include "host/paramdb/CMeasuringUnit.h"
#include "host/paramdb/CPqParamInstance.h"
#include "host/paramdb/ParamDbFile.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring Text(const TableType::Text& cell) {
  return std::wstring(TableType::view(cell));
}

TEST(ParamDb, TableTypeCopiesAtMostTheGivenLength) {
  TableType::Text cell;
  TableType::strcopy(cell, L"CAN_Channel_Zero_DBC_File", 200);
  EXPECT_EQ(Text(cell), L"CAN_Channel_Zero_DBC_File");
  TableType::strcopy(cell, std::wstring(250, L'a').c_str(), 200);
  EXPECT_EQ(Text(cell), std::wstring(200, L'a'));
  TableType::strcopy(cell, L"abc", 2);
  EXPECT_EQ(Text(cell), L"ab");
  TableType::strcopy(cell, nullptr, 200);
  EXPECT_EQ(Text(cell), L"");
  wchar_t small[4] = {L'x', L'x', L'x', L'x'};
  TableType::strcopy(small, L"abcdef", 3);
  EXPECT_EQ(std::wstring(small), L"abc");
}

TEST(ParamDb, MeasuringUnitExamples) {
  const auto unit = [](int code, int mod, int power, double factor, bool brackets = false) {
    return CMeasuringUnit(code, mod, power, factor, 0).prefixunit(brackets).str();
  };
  EXPECT_EQ(unit(18, 0, 1, 1.0), L"1/min");
  EXPECT_EQ(unit(11, 3, 1, 1.0), L"kPa");
  EXPECT_EQ(unit(8, -3, 1, 1.0), L"mm");
  EXPECT_EQ(unit(8, 0, 2, 1.0), L"m\u00B2");
  EXPECT_EQ(unit(2, 4, 1, 1.0), L"10^4 V");
  EXPECT_EQ(unit(11, 0, 1, 2.5), L"2.5 Pa");
  EXPECT_EQ(unit(0, 3, 1, 1.0), L"");
  EXPECT_EQ(unit(1, 0, 1, 1.0), L"");
  EXPECT_EQ(unit(31, 0, 1, 1.0), L"");
  EXPECT_EQ(unit(11, 3, 1, 1.0, true), L"[kPa]");
}

// A second sign is refused: from_chars would read "--9223372036854775808" as the most negative
// number, whose negation overflows.
TEST(ParamDb, NumbersWithTwoSignsAreErrors) {
  const ParamDbContent c = ParamDbFile::Parse(
      "[AppSignalProperties]\n7 = --9223372036854775808, 1, 0, \"\"\n"
      "8 = 0x-8000000000000000, 1, 0, \"\"\n[ApplicationSignals]\n--1 = Speed\n",
      "p.txt");
  EXPECT_TRUE(c.properties.empty());
  EXPECT_TRUE(c.signals.empty());
  EXPECT_EQ(c.errors.size(), 3u);
}

TEST(ParamDb, FileFormatExamples) {
  const ParamDbContent c = ParamDbFile::Parse(
      "# comment\n"
      "[ApplicationSignals]\n"
      "7 = Engine speed\n"
      "x = Foo\n"
      "[AppSignalProperties]\n"
      "7 = 0x0A, 18, 0, \"1/min\"\n"
      "8 = 8, 11, 3, \"\"\n"
      "7 = 0x0A, 18\n"
      "[AuxStrings]\n"
      "CAN_Channel_Zero_DBC_File = a.dbc\r\n"
      "Title = \"  padded  \"\n"
      "[Colours]\n"
      "red = 1\n",
      "p.txt");
  ASSERT_EQ(c.signals.size(), 1u);
  EXPECT_EQ(c.signals[0].number, 7);
  EXPECT_EQ(Text(c.signals[0].name), L"Engine speed");
  ASSERT_EQ(c.properties.size(), 2u);
  EXPECT_EQ(c.properties[0].flags, 0x0Au);
  EXPECT_EQ(c.properties[0].unitCode, 18);
  EXPECT_EQ(Text(c.properties[0].unitText), L"1/min");
  EXPECT_EQ(c.properties[1].unitModifier, 3);
  ASSERT_EQ(c.aux.size(), 2u);
  EXPECT_EQ(c.aux[0].text, L"a.dbc");
  EXPECT_EQ(c.aux[1].text, L"  padded  ");
  EXPECT_EQ(c.errors, (std::vector<std::string>{
                          "p.txt:4: signal number expected",
                          "p.txt:8: flags, unit code, unit modifier and quoted unit text expected",
                          "p.txt:12: unknown section [Colours]"}));
}

class ParamInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSettingsFolder(m_dir.path()); }
  testing_support::TempDir m_dir;
};

TEST_F(ParamInstanceTest, EmbeddedDefaultServesLookups) {
  CPqParamInstance db(nullptr);
  ASSERT_TRUE(db.Initialized());
  EXPECT_EQ(db.Source(), "<embedded default>");
  EXPECT_TRUE(db.Errors().empty());
  EXPECT_EQ(db.ApplicationSignalName(1), L"Engine speed");
  EXPECT_EQ(db.ApplicationSignalName(999), L"Signal 999");
  EXPECT_EQ(db.ApplicationSignal(999), nullptr);

  TableType::Text key;
  TableType::strcopy(key, L"CAN_Channel_Zero_DBC_File", 200);
  const AuxStringRow* row = db.AuxStrings().Find(key);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->text, L"sample.dbc");
  TableType::strcopy(key, L"CAN_Channel_Zero", 200);
  EXPECT_EQ(db.AuxStrings().Find(key), nullptr);  // exact names only
  TableType::strcopy(key, L"CAN_Channel_One_DBC_File", 200);
  EXPECT_EQ(db.AuxStrings().Find(key), nullptr);

  // Every offered property has a name; unit texts written by a user stay for the next one.
  bool offered = false;
  for (auto& p : db.AppSignalProperty()) {
    EXPECT_NE(db.ApplicationSignal(p.signal), nullptr);
    offered |= (p.flags & 0x0A) != 0;
  }
  EXPECT_TRUE(offered);
  TableType::strcopy(db.AppSignalProperty().front().unitText, L"rpm");
  EXPECT_EQ(Text(CPqParamInstance().AppSignalProperty().front().unitText), L"rpm");
}

TEST_F(ParamInstanceTest, FileInTheSettingsFolderWinsAndBadOnesAreReported) {
  host::CaptureLog log;
  testing_support::WriteFile(m_dir / "paramdb.txt",
                             "[ApplicationSignals]\n5 = Wheel speed\n5 = Again\n"
                             "[AuxStrings]\nCAN_Channel_One_DBC_File = /abs/b.dbc\n");
  CPqParamInstance db;
  ASSERT_TRUE(db.Initialized());
  EXPECT_EQ(db.ApplicationSignalName(5), L"Wheel speed");
  EXPECT_EQ(db.ApplicationSignal(1), nullptr);
  EXPECT_EQ(db.AuxStrings().Rows().size(), 1u);
  EXPECT_EQ(log.count_containing(L"paramdb.txt:3: signal 5 given twice, the first stays"), 1u);

  std::filesystem::remove(m_dir / "paramdb.txt");
  std::filesystem::create_directory(m_dir / "paramdb.txt");  // there, but not readable as a file
  CPqParamInstance broken;
  EXPECT_FALSE(broken.Initialized());
  EXPECT_TRUE(broken.AppSignalProperty().empty());
  EXPECT_EQ(log.count_containing(L"paramdb.txt: is a folder, not a file; parameter database not "
                                 L"available"),
            1u);
}

}  // namespace
