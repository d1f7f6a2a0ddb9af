// canhost ui end to end in a real X server (xvfb-run): the main window opens, the CAN-Bus dialog
// opens from it, Apply is pressed, the sink's CAN Decoding dialog opens, pictures of the windows
// are written, and closing the window saves the settings. Skipped where xvfb-run is not installed (label "xvfb").
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

extern char** environ;

namespace {

std::filesystem::path FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::filesystem::path candidate =
        std::filesystem::path(dirs.substr(start, end - start)) / name;
    if (!dirs.substr(start, end - start).empty() && std::filesystem::exists(candidate))
      return candidate;
    start = end + 1;
  }
  return {};
}

int Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CanhostUi, OpensTheCanBusDialogAppliesAndSavesUnderXvfb) {
  const auto xvfb = FindInPath("xvfb-run");
  if (xvfb.empty()) GTEST_SKIP() << "xvfb-run is not installed (package xvfb)";
  testing_support::TempDir settings;
  const auto shots = testing_support::BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(shots);
  const std::string prefix = (shots / "canhost_ui").string();
  std::filesystem::remove(prefix + "-main.png");
  std::filesystem::remove(prefix + "-dialog1000.png");
  std::filesystem::remove(prefix + "-dialog2000.png");
  const int rc = Spawn({xvfb.string(), "-a", (testing_support::BinDir() / "canhost").string(), "ui",
                        "--settings", settings.path().string(), "--actions",
                        "settings 0; click 2005; settings 1; shot " + prefix + "; quit"});
  EXPECT_EQ(rc, 0);
  EXPECT_GT(std::filesystem::file_size(prefix + "-main.png"), 1000u);
  EXPECT_GT(std::filesystem::file_size(prefix + "-dialog1000.png"), 1000u);
  EXPECT_GT(std::filesystem::file_size(prefix + "-dialog2000.png"), 1000u);
  // Closing saved the settings: the sources that Apply kept are in the application sea.
  const std::string sea = testing_support::ReadFile(settings / "Application.sea");
  EXPECT_NE(sea.find("CAN-Sources"), std::string::npos);
  EXPECT_NE(sea.find("CanSource-Params"), std::string::npos);
  // The sink read its decoder choices before it wrote them back: channel 0 keeps its DBC decoder.
  EXPECT_NE(sea.find("CCanDbcDecoder"), std::string::npos);
}
