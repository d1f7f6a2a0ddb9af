// The analysis objects' settings windows in the Qt view, rendered offscreen: opened modally by the
// objects' own calls (the view's nested event loop), answered by clicks on the widgets, and written
// as PNGs under the build folder (ui-png/) for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include "host/analysisui/AnalysisResources.h"
#include "host/cananalysis/CDbcDecoder.h"
#include "host/obd/CCanSequencer.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/host/DriverFixture.h"
#include "tests/support/QtOffscreen.h"

namespace {

using namespace XeCanAnalysis;

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("analysis_windows_qt_test");

using testing_support::PngPath;

// Once the modal window shows: `look` at it, then click `button`.
void Answer(const std::function<void(QWidget*)>& look, int button) {
  QTimer::singleShot(0, [look, button] {
    ui::qt::QtDialogView* view = ui::qt::QtDialogView::Top();
    ASSERT_NE(view, nullptr);
    view->Sync();
    look(view->Widget());
    view->Click(button);
  });
}

QTableView* Table(QWidget* window, int id) {
  return window->findChild<QTableView*>(QString::number(id));
}

class DbcWindowQt : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSettingsFolder(m_dir.path()); }
  // Opens the decoder's window on `file`, offering the OBD default's signals; takes a picture.
  void Show(const std::filesystem::path& file, const std::string& png, int minRows) {
    CDbcDecoder decoder(L"Picture", [](int, int, double, int) {});
    ASSERT_TRUE(decoder.SetFileName(CString(file.wstring())));
    CList<CAppSignal> apps;
    apps.AddTail(CAppSignal(1, L"Engine speed", L"1/min", 8));
    apps.AddTail(CAppSignal(2, L"Vehicle speed", L"km/h", 8));
    apps.AddTail(CAppSignal(3, L"Coolant temperature", L"\u00B0C", 8));
    decoder.SetApplicationSignals(apps);
    bool looked = false;
    Answer(
        [&](QWidget* window) {
          looked = true;
          EXPECT_TRUE(window->isModal());
          EXPECT_GE(window->width(), 700);
          EXPECT_GE(Table(window, analysisui::kDbcList)->model()->rowCount(), minRows);
          EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath(png)));
        },
        IDCANCEL);
    decoder.CallSettingsDialog();
    EXPECT_TRUE(looked);
  }
  testing_support::TempDir m_dir;
};

TEST_F(DbcWindowQt, ObdFileIsShownModallyAndCancelled) {
  Show(testing_support::SourceDir() / "data" / "obd2.dbc", "dbc_settings_obd2.png", 12);
}

TEST_F(DbcWindowQt, LargeRealFileIsShown) {
  SKIP_WITHOUT_SHARED("dbc/vw_pq.dbc");
  Show(testing_support::SharedDir() / "dbc" / "vw_pq.dbc", "dbc_settings_vw_pq.png", 100);
}

TEST_F(DbcWindowQt, RefusedFileIsShownWithItsLine) {
  testing_support::WriteFile(m_dir / "bad.dbc", "BO_ 100 A: 8 X\nBO_ x\n");
  bool looked = false;
  QTimer::singleShot(0, [&] {
    QWidget* window = ui::qt::QtDialogView::Top()->Widget();
    auto* edit = window->findChild<QLineEdit*>(QString::number(analysisui::kDbcFileEdit));
    edit->setText(QStringLiteral("bad.dbc"));
    Q_EMIT edit->textEdited(edit->text());
    window->findChild<QPushButton*>(QString::number(analysisui::kDbcLoad))->click();
    ui::qt::QtDialogView::Top()->Sync();
    const QString state =
        window->findChild<QLabel*>(QString::number(analysisui::kDbcStatus))->text();
    EXPECT_TRUE(state.contains(QStringLiteral("bad.dbc:2:"))) << state.toStdString();
    EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("dbc_settings_refused.png")));
    looked = true;
    ui::qt::QtDialogView::Top()->Click(IDCANCEL);
  });
  CDbcDecoder decoder(L"Refused", [](int, int, double, int) {});
  ASSERT_TRUE(
      decoder.SetFileName(CString((testing_support::SourceDir() / "data" / "obd2.dbc").wstring())));
  decoder.CallSettingsDialog();
  EXPECT_TRUE(looked);
}

}  // namespace

namespace driver_test {
namespace {

class SequencerWindowQt : public DriverFixture {};

TEST_F(SequencerWindowQt, RequestListIsShownWithItsProblemAndSavedByOk) {
  testing_support::WriteFile(m_dir / "OBDTester.sequencer",
                             "timer 10\nregular 7DF 010C\nregular 7DF 010D\nregular 7E0 0105 bs=2\n"
                             "oneshot 7DF 0902 st=F3\n");
  CanIo io(0);
  CanControl control(L"tester", io);
  XeCanAnalysis::CCanSequencer tester(L"OBDTester", &control);
  Answer(
      [](QWidget* window) {
        EXPECT_EQ(Table(window, analysisui::kSeqList)->model()->rowCount(), 4);
        EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("sequencer_settings.png")));
      },
      IDOK);
  tester.ChangeSettings();
  EXPECT_NE(testing_support::ReadFile(m_dir / "OBDTester.sequencer").find("# OBD-II tester"),
            std::string::npos);
}

}  // namespace
}  // namespace driver_test
