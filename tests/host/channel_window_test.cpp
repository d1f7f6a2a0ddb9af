// The window of the CAN channels (CCanChannelsDlg over DriverConfigModel), driven through the
// control model as a person would: a modal loop installed by the test clicks, types, chooses and
// presses keys; a file chooser answers as the person would.
#include <gtest/gtest.h>

#include "host/candriver/DriverConfigModel.h"
#include "host/driverui/CCanChannelsDlg.h"
#include "host/driverui/ChannelResources.h"
#include "host/driverui/ChannelWindow.h"
#include "host/mfc/Win.h"
#include "host/ui/FileChooser.h"
#include "host/ui/ModalLoop.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using Model = DriverConfigModel;
using testing_support::ReadFile;
using testing_support::WriteFile;

// A person at the window: `act` runs while it is open.
struct Person {
  explicit Person(const std::function<void(CCanChannelsDlg&)>& act) {
    previous = ui::SetModalLoop([act](CDialog3d& d) { act(dynamic_cast<CCanChannelsDlg&>(d)); });
  }
  ~Person() { ui::SetModalLoop(std::move(previous)); }
  ui::ModalLoop previous;
};

// Message boxes are answered with OK and remembered.
struct Boxes {
  Boxes() {
    previous = mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      shown.push_back(text.ToUtf8());
      return IDOK;
    });
  }
  ~Boxes() { mfc::SetMessageBoxResponder(std::move(previous)); }
  std::vector<std::string> shown;
  mfc::MessageBoxResponder previous;
};

const std::string kFile =
    "# bench\n"
    "channel 0 virtual            # the tester\n"
    "channel 1 virtual bus=body   # the car\n"
    "generator body id=123 period=10ms\n";

class ChannelWindowTest : public DriverFixture {
 protected:
  ChannelWindowTest() {
    std::filesystem::copy_file(testing_support::SourceDir() / "tests/data/sink_e2e.log",
                               m_dir / "drive.log");
    WriteFile(File(), kFile);
  }
  ~ChannelWindowTest() override { ui::SetFileChooser({}); }
  std::filesystem::path File() const { return m_dir / "candriver.conf"; }
  driverui::ChannelWindow m_window;
};

TEST_F(ChannelWindowTest, ALineBecomesAReplayOfAChosenLogAndOkSavesItWithTheComments) {
  int asked = 0;
  ui::SetFileChooser([&](const ui::FileRequest& request, CString& chosen) {
    ++asked;
    EXPECT_NE(request.filter.str().find(L"*.blf"), std::wstring::npos);
    chosen = CString((m_dir / "drive.log").wstring());
    return true;
  });
  Person person([&](CCanChannelsDlg& d) {
    CXListCtrl& list = d.Channels();
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(1, Model::Bus), L"body");
    EXPECT_EQ(list.GetItemText(0, Model::Bus), L"default");
    EXPECT_EQ(list.GetItemText(0, Model::BackendKind), L"Virtual bus");
    ASSERT_EQ(d.Generators().GetItemCount(), 1);
    EXPECT_EQ(d.Generators().GetItemText(0, Model::Ids), L"123");
    // Becoming a replay asks for the log at once; the chosen one in the settings folder is named
    // relative to it, and the interface combo offers the log's interfaces.
    ASSERT_TRUE(list.ChooseCombo(1, Model::BackendKind, 1));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(list.GetItemText(1, Model::File), L"drive.log");
    EXPECT_EQ(list.ComboLabels(1, Model::Interface),
              (std::vector<CString>{CCanChannelsDlg::kAllInterfaces, L"can0"}));
    EXPECT_EQ(list.GetItemText(1, Model::Bus), L"");
    ASSERT_TRUE(list.ChooseCombo(1, Model::Interface, 1));
    ASSERT_TRUE(list.EditCell(1, Model::Offset, L"8000"));
    EXPECT_TRUE(d.ClickButton(IDOK));
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_TRUE(ShowChannelSettings());
  EXPECT_EQ(ReadFile(File()),
            "# bench\n"
            "channel 0 virtual            # the tester\n"
            "channel 1 replay file=drive.log interface=can0 offset=8000   # the car\n"
            "generator body id=123 period=10ms\n");
}

TEST_F(ChannelWindowTest, InvalidInputIsMarkedAndRefusedWithAMessageAndEscapeKeepsTheFile) {
  Boxes boxes;
  Person person([&](CCanChannelsDlg& d) {
    CXListCtrl& list = d.Channels();
    ASSERT_TRUE(list.EditCell(0, Model::Drift, L"fast"));
    EXPECT_FALSE(list.GetCellMark(0, Model::Drift).IsEmpty());
    EXPECT_EQ(d.GetDlgItemTextW(driverui::kChStatus).ToUtf8(),
              "Channel row 1: clock drift 'fast' is not ppm from -1000 to 1000 with at most 3 "
              "decimals");
    // A SocketCAN channel without an interface.
    ASSERT_TRUE(list.ChooseCombo(1, Model::BackendKind, 2));
    EXPECT_NE(d.GetDlgItemTextW(driverui::kChStatus).ToUtf8().find("(1 more to correct)"),
              std::string::npos);
    EXPECT_FALSE(list.GetCellMark(1, Model::Interface).IsEmpty());
    // Return is OK: refused with a message, the window stays.
    EXPECT_TRUE(d.PressKey(VK_RETURN));
    EXPECT_TRUE(d.IsOpen());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find("The CAN channels are not saved"), std::string::npos);
    EXPECT_NE(boxes.shown[0].find("clock drift 'fast'"), std::string::npos);
    // Escape is Cancel.
    EXPECT_TRUE(d.PressKey(VK_ESCAPE));
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_FALSE(ShowChannelSettings());
  EXPECT_EQ(ReadFile(File()), kFile);
}

TEST_F(ChannelWindowTest, RowsAreAddedAndRemovedAndApplySavesWhileTheWindowStays) {
  Person person([&](CCanChannelsDlg& d) {
    CXListCtrl& list = d.Channels();
    EXPECT_TRUE(d.ClickButton(driverui::kChAdd));
    ASSERT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(2, Model::Number), L"2");
    EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED), LVIS_SELECTED);
    ASSERT_TRUE(list.EditCell(2, Model::Bus, L"body"));
    // The first channel goes (Delete key), a generator comes, in CAN FD.
    ASSERT_TRUE(list.Click(0, Model::Number));
    ASSERT_TRUE(list.PressKey(VK_DELETE));
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_TRUE(d.ClickButton(driverui::kGenAdd));
    CXListCtrl& generators = d.Generators();
    ASSERT_EQ(generators.GetItemCount(), 2);
    EXPECT_EQ(generators.GetItemText(1, Model::GenBus), L"body");
    ASSERT_TRUE(generators.Click(1, Model::Fd));
    EXPECT_EQ(generators.GetCheckbox(1, Model::Fd), 1);
    EXPECT_TRUE(d.ClickButton(ID_APPLY_NOW));
    EXPECT_TRUE(d.IsOpen());
    EXPECT_EQ(d.GetDlgItemTextW(driverui::kChStatus).ToUtf8().substr(0, 6), "Saved.");
    EXPECT_TRUE(d.Saved());
    d.CloseByFrame();
  });
  EXPECT_TRUE(ShowChannelSettings());
  EXPECT_EQ(ReadFile(File()),
            "# bench\n"
            "channel 1 virtual bus=body   # the car\n"
            "channel 2 virtual bus=body\n"
            "generator body id=123 period=10ms\n"
            "generator body id=100 period=100ms fd=1\n");
}

TEST_F(ChannelWindowTest, OpensWithEveryRowInViewAndCanBeMadeSmallerDownToItsTemplate) {
  std::string many;
  for (int c = 0; c < 12; ++c)
    many += "channel " + std::to_string(c) + " virtual\n";
  WriteFile(File(), many);
  Person person([&](CCanChannelsDlg& d) {
    EXPECT_GE(d.Channels().GetWindowRect().Height(), d.Channels().GetFittingHeight(12));
    const CRect opened = d.ClientRect();
    const CRect templ = ui::ToPixels(CDialog3d::Units(), 0, 0, d.Template()->cx, d.Template()->cy);
    EXPECT_GT(opened.Height(), templ.Height());
    d.Resize(templ.Width(), templ.Height());
    EXPECT_EQ(d.ClientRect().Height(), templ.Height());
    // What is below the channel table kept its distance to the bottom.
    EXPECT_LT(d.GetDlgItem(IDOK)->GetWindowRect().bottom, templ.Height());
    EXPECT_GT(d.Channels().GetWindowRect().Height(), 40);
    d.CloseByFrame();
  });
  ShowChannelSettings();
}

}  // namespace
}  // namespace driver_test
