// The window of the CAN channels in the Qt view, rendered offscreen: opened modally by
// ShowChannelSettings (the view's nested event loop) over a hand-written file with every backend,
// and with a refused cell; written as PNGs under the build folder (ui-png/) for a person to look
// at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include "host/candriver/DriverConfigModel.h"
#include "host/driverui/CCanChannelsDlg.h"
#include "host/driverui/ChannelResources.h"
#include "host/mfc/Win.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/host/DriverFixture.h"
#include "tests/support/QtOffscreen.h"

namespace driver_test {
namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("channel_window_qt_test");

using testing_support::PngPath;
using Model = DriverConfigModel;

const std::string kFile =
    "# The bench's CAN channels\n"
    "channel 0 virtual drift=20                 # the tester\n"
    "channel 1 virtual offset=8000 drift=-30    # the car\n"
    "channel 2 virtual bus=traffic\n"
    "channel 3 replay file=drive.log interface=can0\n"
    "channel 4 socketcan interface=vcan0\n"
    "channel 5 serial                           # left out by the driver\n"
    "generator traffic id=100,101,102 period=10ms data=counter\n"
    "generator traffic id=18FEF100,18FEF200 period=20ms phase=5ms data=random\n"
    "generator traffic id=7DF period=100ms phase=3ms length=3 data=ramp fd=1\n";

class ChannelWindowQt : public DriverFixture {
 protected:
  ChannelWindowQt() {
    std::filesystem::copy_file(testing_support::SourceDir() / "tests/data/sink_e2e.log",
                               m_dir / "drive.log");
    testing_support::WriteFile(m_dir / "candriver.conf", kFile);
  }
};

// Once the modal window shows: `act` on its model and its widgets, then close it by `button`.
void Answer(const std::function<void(CCanChannelsDlg&, QWidget*)>& act, int button) {
  QTimer::singleShot(0, [act, button] {
    ui::qt::QtDialogView* view = ui::qt::QtDialogView::Top();
    ASSERT_NE(view, nullptr);
    view->Sync();
    QApplication::processEvents();
    act(dynamic_cast<CCanChannelsDlg&>(view->Dialog()), view->Widget());
    view->Click(button);
  });
}

TEST_F(ChannelWindowQt, EveryBackendIsShownModallyWithEveryRowInView) {
  bool looked = false;
  Answer(
      [&](CCanChannelsDlg& d, QWidget* window) {
        looked = true;
        EXPECT_TRUE(window->isModal());
        auto* channels = window->findChild<QTableView*>(QString::number(driverui::kChList));
        auto* generators = window->findChild<QTableView*>(QString::number(driverui::kGenList));
        ASSERT_NE(channels, nullptr);
        EXPECT_EQ(channels->model()->rowCount(), 5);
        EXPECT_EQ(generators->model()->rowCount(), 3);
        // Every row in view: no vertical scroll bar.
        EXPECT_FALSE(channels->verticalScrollBar()->isVisible());
        EXPECT_FALSE(generators->verticalScrollBar()->isVisible());
        const QString status =
            window->findChild<QLabel*>(QString::number(driverui::kChStatus))->text();
        EXPECT_TRUE(status.contains(QStringLiteral("unknown backend 'serial'")))
            << status.toStdString();
        EXPECT_EQ(d.Channels().GetItemText(3, Model::Interface), L"can0");
        EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_channels.png")));
      },
      IDCANCEL);
  EXPECT_FALSE(ShowChannelSettings());
  EXPECT_TRUE(looked);
}

TEST_F(ChannelWindowQt, ARefusedCellIsMarkedAndTheMessageSaysWhy) {
  std::vector<std::string> boxes;
  QWidget* shown = nullptr;
  const auto previous = mfc::SetMessageBoxResponder([&](const CString& text, UINT type) {
    boxes.push_back(text.ToUtf8());
    if (shown) {
      EXPECT_TRUE(ui::qt::QtUi::SavePng(shown, PngPath("refused_can_channels.png")));
    }
    const auto box = ui::qt::QtUi::MakeMessageBox(text.str(), type, nullptr);
    box->show();
    ui::qt::QtUi::ProcessEvents();
    EXPECT_TRUE(ui::qt::QtUi::SavePng(box.get(), PngPath("refused_can_channels-box.png")));
    return IDOK;
  });
  Answer(
      [&](CCanChannelsDlg& d, QWidget* window) {
        shown = window;
        ASSERT_TRUE(d.Channels().EditCell(1, Model::Drift, L"-1500"));
        ui::qt::QtDialogView::Top()->Sync();
        d.ClickButton(IDOK);
        EXPECT_TRUE(d.IsOpen());
        shown = nullptr;
      },
      IDCANCEL);
  ShowChannelSettings();
  mfc::SetMessageBoxResponder(previous);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Channel row 2: clock drift '-1500'"), std::string::npos) << boxes[0];
  EXPECT_EQ(testing_support::ReadFile(m_dir / "candriver.conf"), kFile);
}

}  // namespace
}  // namespace driver_test
