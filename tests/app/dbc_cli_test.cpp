#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RunProgram;

TEST(CanhostDbc, InfoListsMessagesSignalsAndFindings) {
  testing_support::TempDir dir;
  const std::string dbc = (dir / "v.dbc").string();
  testing_support::WriteFile(dbc,
                             "BO_ 4000 Wide: 8 ECU\n"
                             " SG_ Mode M : 0|2@1+ (1,0) [0|3] \"\" X\n"
                             " SG_ Temp m1 : 15|12@0- (0.5,-40) [-40|100] \"degC\" X\n"
                             "VAL_ 4000 Mode 0 \"off\" 1 \"on\";\n");
  const auto r = RunProgram("canhost", {"dbc", "info", dbc});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, dbc + ": 1 messages, 2 signals, 0 errors, 1 warnings\n" +
                       "0xFA0 (extended) Wide 8 bytes from ECU\n"
                       "  Mode 0|2@1+ (1,0) [0|3] \"\" [switch]\n"
                       "    values: 0 \"off\" 1 \"on\"\n"
                       "  Temp 15|12@0- (0.5,-40) [-40|100] \"degC\" [Mode in 1]\n" +
                       dbc +
                       ":1:5: warning: message Wide: identifier 4000 is above 0x7FF without the "
                       "extended flag (bit 31), taken as 0xFA0 (extended)\n");

  testing_support::WriteFile(dbc, "BO_ 1 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0 \"\" X\n");
  const auto bad = RunProgram("canhost", {"dbc", "info", dbc});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.out.find(dbc + ":2:28: error: ']' expected, found a string"), std::string::npos)
      << bad.out;

  EXPECT_EQ(RunProgram("canhost", {"dbc", "info", (dir / "none.dbc").string()}).exitCode, 1);
  EXPECT_EQ(RunProgram("canhost", {"dbc", "info"}).exitCode, 2);
  EXPECT_EQ(RunProgram("canhost", {"dbc", "frobnicate"}).exitCode, 2);
}

}  // namespace
