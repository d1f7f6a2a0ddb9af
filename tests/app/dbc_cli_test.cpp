#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RunProgram;

// Runs canhost with its standard output going to `outPath` and returns the exit code and stderr.
std::pair<int, std::string> RunWithOutput(const std::vector<std::string>& args,
                                          const std::string& outPath,
                                          const std::filesystem::path& dir) {
  const std::string errPath = (dir / "stderr.txt").string();
  const pid_t pid = testing_support::SpawnProgram("canhost", args, {}, outPath, errPath);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  return {pid > 0 ? testing_support::ExitCodeOf(status) : -1, testing_support::ReadFile(errPath)};
}

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

// Every way the decode can fail to deliver ends in exit code 1 and says why.
TEST(CanhostDbc, DecodeExitsOneWhenItCannotWriteOrReadAnything) {
  testing_support::TempDir dir;
  const std::string dbc = (dir / "car.dbc").string();
  testing_support::WriteFile(dbc, "BO_ 291 Engine: 8 E\n SG_ Speed : 0|16@1+ (1,0) [0|0] \"\" X\n");
  const std::string log = (dir / "drive.log").string();
  std::string lines;
  for (int i = 0; i < 100; ++i)
    lines += "(1.000000) can0 123#1027\n";
  testing_support::WriteFile(log, lines);

  const auto onFull = RunWithOutput({"dbc", "decode", "--dbc", dbc, log}, "/dev/full", dir.path());
  EXPECT_EQ(onFull, (std::pair<int, std::string>{
                        1, "canhost: cannot write the output: No space left on device\n"}));

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // nobody reads: every write fails with EPIPE instead of killing the process
  const auto closed = RunWithOutput({"dbc", "decode", "--dbc", dbc, log},
                                    "/proc/self/fd/" + std::to_string(fds[1]), dir.path());
  close(fds[1]);
  EXPECT_EQ(closed,
            (std::pair<int, std::string>{1, "canhost: cannot write the output: Broken pipe\n"}));

  // Folders where files belong.
  const auto logDir = RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, dir.path().string()});
  EXPECT_EQ(logDir.exitCode, 1);
  EXPECT_EQ(logDir.err, "canhost: " + dir.path().string() + ": is a folder, not a file\n");
  EXPECT_EQ(RunProgram("canhost", {"dbc", "decode", "--dbc", dir.path().string(), log}).exitCode,
            1);

  // A binary file: no line is a frame. A few short error lines, the count, and exit code 1.
  std::string binary(300000, '\xff');
  for (std::size_t i = 1000; i < binary.size(); i += 1000)
    binary[i] = '\n';
  testing_support::WriteFile(dir / "binary.log", binary);
  const auto junk =
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, (dir / "binary.log").string()});
  EXPECT_EQ(junk.exitCode, 1);
  EXPECT_EQ(std::count(junk.err.begin(), junk.err.end(), '\n'), 22) << junk.err.substr(0, 500);
  EXPECT_LT(junk.err.size(), 22u * 400u);
  EXPECT_NE(junk.err.find("binary.log: no line could be read as a CAN frame"), std::string::npos);
}

// Fields of the log that hold commas or quotes are quoted as RFC 4180 asks.
TEST(CanhostDbc, DecodeQuotesCsvFields) {
  testing_support::TempDir dir;
  const std::string dbc = (dir / "car.dbc").string();
  testing_support::WriteFile(dbc, "BO_ 291 Engine: 8 E\n SG_ Speed : 0|8@1+ (1,0) [0|0] \"\" X\n");
  testing_support::WriteFile(dir / "drive.log", "(1.000000) can,\"0\" 123#07\n");
  const auto r =
      RunProgram("canhost", {"dbc", "decode", "--dbc", dbc, (dir / "drive.log").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(
      r.out,
      "time,channel,id,message,signal,value\n1.000000,\"can,\"\"0\"\"\",123,Engine,Speed,7\n");
}

}  // namespace
