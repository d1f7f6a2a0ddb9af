#include "app/RunOptions.h"

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

using app::RunOptions;

RunOptions Parsed(const std::vector<std::string>& args) {
  RunOptions options;
  std::string error;
  EXPECT_TRUE(RunOptions::Parse(args, options, error)) << error;
  return options;
}

std::string Refused(const std::vector<std::string>& args) {
  RunOptions options;
  std::string error;
  EXPECT_FALSE(RunOptions::Parse(args, options, error));
  return error;
}

TEST(RunOptions, HeaderExamples) {
  const RunOptions none = Parsed({});
  EXPECT_EQ(none.Frames(), 50u);
  EXPECT_FALSE(none.fast);
  EXPECT_TRUE(none.settings.empty());

  const RunOptions fast = Parsed({"--seconds", "3", "--fast"});
  EXPECT_TRUE(fast.fast);
  EXPECT_EQ(fast.Frames(), 30u);

  const RunOptions replay = Parsed({"--replay", "drive.log", "--channel", "1"});
  EXPECT_EQ(replay.replay, "drive.log");
  EXPECT_EQ(replay.channel, 1);
  EXPECT_EQ(replay.Frames(), 0u);  // until the log ends

  const RunOptions timed = Parsed({"--replay", "drive.log", "--seconds", "2"});
  EXPECT_EQ(timed.channel, 0);
  EXPECT_EQ(timed.Frames(), 20u);

  const RunOptions sampling = Parsed({"--sample-period", "0.0005", "--samples-per-frame", "200"});
  EXPECT_DOUBLE_EQ(sampling.FrameSeconds(), 0.1);

  EXPECT_EQ(Refused({"--seconds", "0"}), "--seconds: '0' is not a positive number");
  EXPECT_EQ(Refused({"--channel", "1"}), "--channel needs --replay");
  EXPECT_EQ(Refused({"--capture"}), "--capture needs a value");
  EXPECT_EQ(Refused({"--samples-per-frame", "2.5"}),
            "--samples-per-frame: '2.5' is not a whole number from 1 to 100000");
  EXPECT_EQ(Refused({"--frobnicate"}), "unknown option '--frobnicate'");
}

TEST(RunOptions, LimitsOfTheNumbers) {
  EXPECT_EQ(Parsed({"--seconds", "0.25"}).Frames(), 3u);  // a started frame runs whole
  EXPECT_EQ(Parsed({"--replay", "x", "--channel", "255"}).channel, 255);
  EXPECT_NE(Refused({"--replay", "x", "--channel", "256"}).find("0 to 255"), std::string::npos);
  EXPECT_NE(Refused({"--seconds", "nan"}).find("not a positive number"), std::string::npos);
  // Beyond a year the frame count and the host clock would overflow.
  EXPECT_EQ(Refused({"--seconds", "1e300"}),
            "--seconds: '1e300' is longer than a year (31622400 s)");
  EXPECT_EQ(Parsed({"--seconds", "31622400"}).Frames(), 316224000u);
  // Tokens are quoted and cut, so a huge or binary argument gives one short line.
  EXPECT_EQ(Refused({"--seconds", std::string(100, '9') + "\x01"}),
            "--seconds: '" + std::string(60, '9') + "...' is not a positive number");
  EXPECT_EQ(Refused({std::string("--\x02\xff")}), "unknown option '--\\x02\\xFF'");
  // The module places messages within a frame and discards those more than 2 s after its start.
  EXPECT_NE(Refused({"--samples-per-frame", "3000"}).find("from 0.001 to 2 s"), std::string::npos);
}

}  // namespace

namespace {

TEST(RunOptions, DbcFilesPerChannelAndTheSignalOptions) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "a.dbc", "VERSION \"\"\n");
  const std::string a = (dir / "a.dbc").string();
  const RunOptions options = Parsed({"--dbc", "1=" + a, "--dbc", "0=" + a, "--dbc", "1=" + a,
                                     "--all-signals", "--signals", "out.csv"});
  EXPECT_EQ(options.dbc.size(), 2u);
  EXPECT_EQ(options.dbc.at(0), a);
  EXPECT_TRUE(options.allSignals);
  EXPECT_EQ(options.signals, "out.csv");
  EXPECT_EQ(Refused({"--dbc", "256=" + a}),
            "--dbc: '256=" + a + "' is not CHANNEL=FILE with a channel from 0 to 255");
  EXPECT_EQ(Refused({"--dbc", a}),
            "--dbc: '" + a + "' is not CHANNEL=FILE with a channel from 0 to 255");
  EXPECT_EQ(Refused({"--dbc", "0=" + (dir / "missing.dbc").string()}),
            "--dbc: " + (dir / "missing.dbc").string() + ": no such file");
}

}  // namespace
