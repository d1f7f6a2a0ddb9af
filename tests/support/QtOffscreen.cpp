#include "tests/support/QtOffscreen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "host/ui/qt/QtUi.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  explicit QtEnvironment(std::string program) : m_program(std::move(program)) {}
  void SetUp() override {
    // Before the test program starts any thread: nothing reads the environment meanwhile.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // NOLINT(concurrency-mt-unsafe)
    m_argv[0] = m_program.data();
    m_ui = std::make_unique<ui::qt::QtUi>(m_argc, m_argv);
  }
  void TearDown() override { m_ui.reset(); }

 private:
  std::string m_program;
  int m_argc = 1;
  char* m_argv[2] = {nullptr, nullptr};  // Qt keeps them for the application's lifetime
  std::unique_ptr<ui::qt::QtUi> m_ui;
};

}  // namespace

bool UseOffscreenQt(const char* program) {
  // gtest owns the environment.
  ::testing::AddGlobalTestEnvironment(new QtEnvironment(program));
  return true;
}

std::string PngPath(const std::string& name) {
  const auto dir = BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

}  // namespace testing_support
