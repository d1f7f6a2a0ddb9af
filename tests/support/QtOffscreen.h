#pragma once
// What the tests that render the Qt view share: one Qt application for the whole program (Qt
// allows only one per process) on the offscreen platform, and the folder the pictures go to.
// Header only: only the programs that link the Qt view include it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "host/ui/qt/QtUi.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

class QtOffscreen : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    m_ui = std::make_unique<ui::qt::QtUi>(m_argc, m_argv);
  }
  void TearDown() override { m_ui.reset(); }

 private:
  std::unique_ptr<ui::qt::QtUi> m_ui;
  int m_argc = 1;
  char m_arg0[8] = "qt_test";
  char* m_argv[2] = {m_arg0, nullptr};
};

// The path of picture `name` in the build folder's ui-png/ (created when missing).
inline std::string PngPath(const std::string& name) {
  const auto dir = BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

}  // namespace testing_support

// Registers the offscreen Qt application for the program's tests (once per test program).
#define CANHOST_QT_OFFSCREEN_TESTS()                                    \
  [[maybe_unused]] static ::testing::Environment* const g_qtOffscreen = \
      ::testing::AddGlobalTestEnvironment(new testing_support::QtOffscreen)
