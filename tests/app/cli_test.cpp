#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"

namespace {

using testing_support::RunProgram;

TEST(CanhostCli, ModulesListsTheTwoModulesSorted) {
  const auto r = RunProgram("canhost", {"modules"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "CCanSink\nCCanSourceModule\n");
}

TEST(CanhostCli, HelpListsCommandsAndBadArgumentsExitWithUsage) {
  const auto help = RunProgram("canhost", {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("modules"), std::string::npos);

  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"--frobnicate"}, {"modules", "--bogus"}}) {
    const auto r = RunProgram("canhost", args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: canhost"), std::string::npos) << r.err;
  }
}

TEST(CanhostCli, MissingPluginIsARuntimeError) {
  const auto r = RunProgram("canhost", {"modules", "--plugin", "/nonexistent/lib.so"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("/nonexistent/lib.so"), std::string::npos);
}

}  // namespace
