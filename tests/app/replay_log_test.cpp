#include "app/ReplayLog.h"

#include <gtest/gtest.h>

#include <iterator>

#include "tests/support/TestSupport.h"

namespace {

using app::ReplayLog;
using XeCanDriverKvaser::LogSpool;
using XeCanDriverKvaser::SpooledFrame;

// The one reading of the log gives the run its length and silences, and the replay its frames:
// the spool holds every frame the check counted (error frames left out), in log order.
TEST(ReplayLog, OneReadingGivesLengthGapsAndTheSpooledFrames) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "drive.log",
                             "(100.000000) can0 123#11\n"
                             "(100.500000) can0 ERROR\n"
                             "(100.250000) can1 124##1AABB\n"
                             "(170.500000) can0 125#R\n");
  ReplayLog log;
  std::string error;
  ASSERT_TRUE(ReplayLog::Check(dir / "drive.log", log, error, dir.path())) << error;
  EXPECT_EQ(log.frames, 3u);
  EXPECT_DOUBLE_EQ(log.seconds, 70.5);
  ASSERT_EQ(log.gaps.size(), 1u);
  EXPECT_DOUBLE_EQ(log.gaps[0].from, 0.25);
  EXPECT_EQ(log.gaps[0].line, 4);
  ASSERT_TRUE(log.spool);
  EXPECT_EQ(log.spool->frames(), 3u);
  LogSpool::Reader reader(log.spool);
  SpooledFrame frame;
  std::vector<std::pair<std::uint32_t, int>> got;
  while (reader.Next(frame))
    got.emplace_back(frame.message.id, frame.line);
  EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, int>>{{0x123, 1}, {0x124, 3}, {0x125, 4}}));
}

// A bad log stops the run with its place; a temporary folder that cannot hold a spool does not:
// the replay then reads the file.
TEST(ReplayLog, RefusesABadLogAndGoesOnWithoutASpool) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "bad.log", "(1.0) can0 123#11\n\n(1.1) can0 12#00\n");
  ReplayLog log;
  std::string error;
  EXPECT_FALSE(ReplayLog::Check(dir / "bad.log", log, error, dir.path()));
  EXPECT_EQ(error, (dir / "bad.log").string() + ":3: identifier '12' needs 3 or 8 hex digits");

  testing_support::WriteFile(dir / "good.log", "(1.0) can0 123#11\n");
  ASSERT_TRUE(ReplayLog::Check(dir / "good.log", log, error, dir / "missing"));
  EXPECT_EQ(log.frames, 1u);
  EXPECT_FALSE(log.spool);
  // Only the two logs: a spool leaves no file behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
