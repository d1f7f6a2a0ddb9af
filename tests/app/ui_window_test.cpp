// canhost ui's main window, offscreen: a Start with nothing to measure says so beside the Start
// button and in the log pane, highlighted as an error; a picture of the window is left in
// ui-png/main_refused_start-main.png.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/UiSession.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/qt/QtMainWindow.h"
#include "tests/support/QtOffscreen.h"
#include "tests/support/TestSupport.h"

namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("app_ui_window_test");

TEST(MainWindow, AStartWithNothingToMeasureIsShownInTheLogPane) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "Application.sea",
                             "list \"CAN-Sources\"\n"
                             "line \"CAN 2\", \"0\", \"2\", \"0\", \"-2\", \"0\", \"-1000\", "
                             "\"-1001\"\n");
  // A backend the driver does not know: its line is reported and left out.
  testing_support::WriteFile(dir / "candriver.conf", "channel 2 virtual\nchannel 4 serial\n");
  // The driver reads its configuration when the first source opens its channel, after the
  // plug-in has routed the driver's log into the host log: the pane shows the refused line.
  host::SetSettingsFolder(dir.path());
  CSeaBase::ReloadAll();
  std::string error;
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  const std::string prefix = testing_support::PngPath("main_refused_start");
  std::filesystem::remove(prefix + "-main.png");
  {
    app::UiSession session(0.001, 100);
    ASSERT_TRUE(session.Create("", error)) << error;
    EXPECT_EQ(ui::qt::RunMainWindow(session, "start; shot " + prefix + "; quit"), 0);
    bool refused = false, backend = false;
    for (const ui::LogEntry& line : session.Log()->Lines()) {
      refused = refused || (line.level == ui::LogLevel::Error &&
                            line.text.find("nothing to measure") != std::string::npos);
      backend = backend || line.text.find("unknown backend 'serial'") != std::string::npos;
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(backend);
  }
  EXPECT_TRUE(std::filesystem::exists(prefix + "-main.png"));
  CSeaBase::ReloadAll();
  host::SetSettingsFolder({});
}

}  // namespace
