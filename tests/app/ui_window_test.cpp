// canhost ui's main window, offscreen: a Start with nothing to measure says so beside the Start
// button and in the log pane, highlighted as an error; a picture of the window is left in
// ui-png/main_refused_start-main.png.
#include <gtest/gtest.h>

#include <filesystem>

#include <QDialogButtonBox>
#include <QPushButton>

#include "app/SettingsSeed.h"
#include "app/UiSession.h"
#include "host/candriver/CanDriver.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/qt/QtMainWindow.h"
#include "host/ui/qt/QtOpenLogDialog.h"
#include "host/ui/qt/QtUi.h"
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
}

}  // namespace

namespace {

// The menu bar's windows: Open log sets up the log's measurement (its status beside Start), the
// help window shows the README's sections, the settings folder is in the title; pictures of each.
TEST(MainWindow, OpenLogHelpAndTheSettingsFolderFromTheMenus) {
  testing_support::TempDir dir;
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Seeded)
      << error;
  host::SetSettingsFolder(dir / "settings");
  XeCanDriverKvaser::ReloadConfiguration();
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  const auto data = testing_support::SourceDir() / "tests/data";
  const std::string prefix = testing_support::PngPath("main_open_log");
  for (const char* suffix : {"-main.png", "-help.png", "-messagebox.png"})
    std::filesystem::remove(prefix + suffix);
  {
    app::UiSession session(0.001, 100);
    ASSERT_TRUE(session.Create("", error)) << error;
    ASSERT_FALSE(session.Help().empty());
    EXPECT_EQ(session.Help().front().title, "canhost ui");
    EXPECT_NE(session.Help().front().markdown.find("Open log"), std::string::npos);
    EXPECT_EQ(
        ui::qt::RunMainWindow(session, "open " + (data / "sink_e2e.log").string() + " " +
                                           (data / "sink_e2e.dbc").string() +
                                           "; help; about; shot " + prefix + "; dismiss; quit"),
        0);
    bool opened = false;
    for (const ui::LogEntry& line : session.Log()->Lines())
      opened = opened || line.text.find("opened ") != std::string::npos;
    EXPECT_TRUE(opened);
  }
  for (const char* suffix : {"-main.png", "-help.png", "-messagebox.png"})
    EXPECT_TRUE(std::filesystem::exists(prefix + suffix)) << suffix;
}

TEST(MainWindow, TheOpenLogDialogAsksForALogAndADbcFile) {
  ui::qt::QtOpenLogDialog dialog(nullptr);
  const auto ok = [&] {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
  };
  EXPECT_FALSE(ok());
  dialog.SetFiles(QStringLiteral("/data/drive.blf"), QString());
  EXPECT_TRUE(ok());
  EXPECT_EQ(dialog.Log(), "/data/drive.blf");
  EXPECT_EQ(dialog.Dbc(), "");
  dialog.show();
  ui::qt::QtUi::ProcessEvents();
  EXPECT_TRUE(ui::qt::QtUi::SavePng(&dialog, testing_support::PngPath("open_log.png")));
}

}  // namespace
