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

TEST(CanhostDbc, DecodeWritesOneCsvRowPerDecodedSignal) {
  testing_support::TempDir dir;
  const std::string dbc = (dir / "car.dbc").string();
  testing_support::WriteFile(dbc,
                             "BO_ 291 Engine: 8 E\n"
                             " SG_ Speed : 0|16@1+ (0.25,0) [0|0] \"rpm\" X\n"
                             " SG_ Temp : 16|8@1- (1,-40) [0|0] \"C\" X\n"
                             "BO_ 2566844926 Brake: 8 E\n"
                             " SG_ Mode M : 0|2@1+ (1,0) [0|0] \"\" X\n"
                             " SG_ Pressure m1 : 15|16@0+ (0.1,0) [0|0] \"bar\" X\n"
                             " SG_ Temp m2 : 8|8@1+ (1,0) [0|0] \"C\" X\n");
  const std::string candump = (dir / "drive.log").string();
  testing_support::WriteFile(candump,
                             "(1000.000100) can0 123#1027FF\n"
                             "(1000.002000) can0 18FEF1FE#010190\n"
                             "(1000.003000) can1 18FEF1FE#02AA\n"
                             "(1000.004000) can0 456#00\n"
                             "(1000.005000) can0 123#R\n"
                             "(1000.006000) can0 12#00\n"
                             "(1000.007000) can0 123#10\n"
                             "(1000.008000) can0 123#0100F0 T\n");
  const auto r = RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, candump});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "time,channel,id,message,signal,value\n"
            "1000.000100,can0,123,Engine,Speed,2500\n"
            "1000.000100,can0,123,Engine,Temp,-41\n"
            "1000.002000,can0,18FEF1FE,Brake,Mode,1\n"
            "1000.002000,can0,18FEF1FE,Brake,Pressure,40\n"
            "1000.003000,can1,18FEF1FE,Brake,Mode,2\n"
            "1000.003000,can1,18FEF1FE,Brake,Temp,170\n"
            "1000.008000,can0,123,Engine,Speed,0.25\n"
            "1000.008000,can0,123,Engine,Temp,-56\n");
  EXPECT_NE(r.err.find("canhost: 1 of 6 frames skipped: identifier not in " + dbc),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("drive.log:6:"), std::string::npos) << r.err;

  const std::string asc = (dir / "drive.asc").string();
  testing_support::WriteFile(asc,
                             "date Mon Jan 1 00:00:00.000 am 2024\n"
                             "base hex  timestamps absolute\n"
                             "   1.015991 1  123             Rx   d 3 10 27 FF\n"
                             "   2.500000 2  18FEF1FEx       Rx   d 2 02 AA\n");
  const auto a = RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, asc});
  EXPECT_EQ(a.exitCode, 0) << a.err;
  EXPECT_EQ(a.out,
            "time,channel,id,message,signal,value\n"
            "1.015991,1,123,Engine,Speed,2500\n"
            "1.015991,1,123,Engine,Temp,-41\n"
            "2.500000,2,18FEF1FE,Brake,Mode,2\n"
            "2.500000,2,18FEF1FE,Brake,Temp,170\n");

  EXPECT_EQ(RunProgram("canhost", {"dbc", "decode", candump}).exitCode, 2);
  EXPECT_EQ(
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, (dir / "no.log").string()}).exitCode,
      1);
}

}  // namespace
