// The host's settings windows of the DBC decoder and the OBD-II tester, driven through the control
// model as a person would: a modal loop installed by the test clicks, types and chooses.
#include <gtest/gtest.h>

#include "host/analysisui/AnalysisResources.h"
#include "host/analysisui/AnalysisWindows.h"
#include "host/analysisui/CDbcSettingsDlg.h"
#include "host/analysisui/CSequencerSettingsDlg.h"
#include "host/cananalysis/CDbcDecoder.h"
#include "host/obd/CCanSequencer.h"
#include "host/settings/PrWin.h"
#include "host/ui/FileChooser.h"
#include "host/ui/ModalLoop.h"
#include "tests/host/DriverFixture.h"

namespace {

using namespace XeCanAnalysis;
using analysisui::AnalysisWindows;
using testing_support::ReadFile;
using testing_support::WriteFile;

// A person at the windows: `act` runs while the dialog is open.
template <class Dialog>
struct Person {
  explicit Person(std::function<void(Dialog&)> act) {
    previous = ui::SetModalLoop([act](CDialog3d& d) { act(dynamic_cast<Dialog&>(d)); });
  }
  ~Person() { ui::SetModalLoop(std::move(previous)); }
  ui::ModalLoop previous;
};

class DbcWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetSettingsFolder(m_dir.path());
    std::filesystem::copy_file(testing_support::SourceDir() / "data" / "obd2.dbc",
                               m_dir / "obd2.dbc");
    m_decoder.RegisterOnDecoderModification([this] { ++m_modifications; });
    CList<CAppSignal> apps;
    apps.AddTail(CAppSignal(1, L"Engine speed", L"1/min", 8));
    apps.AddTail(CAppSignal(3, L"Coolant temperature", L"\u00B0C", 8));
    apps.AddTail(CAppSignal(5, L"Engine load", L"%", 8));
    m_decoder.SetApplicationSignals(apps);
  }
  // Row of the table showing `signal`, or -1.
  static int RowOf(CDbcSettingsDlg& d, const wchar_t* signal) {
    for (int r = 0; r < d.List().GetItemCount(); ++r)
      if (d.List().GetItemText(r, CDbcSettingsDlg::kSignal) == signal) return r;
    return -1;
  }
  // Decodes a service 01 answer for `pid` with data bytes a, b; returns (app signal, value) pairs.
  std::vector<std::pair<int, double>> Decode(std::uint8_t pid, std::uint8_t a, std::uint8_t b) {
    m_values.clear();
    const std::uint8_t data[8] = {4, 0x41, pid, a, b, 0x55, 0x55, 0x55};
    m_decoder.DecodeFrame(0x7E8, data, 8, 0);
    return m_values;
  }

  testing_support::TempDir m_dir;
  AnalysisWindows m_windows;
  std::vector<std::pair<int, double>> m_values;
  CDbcDecoder m_decoder{L"OBD",
                        [this](int, int app, double v, int) { m_values.emplace_back(app, v); }};
  int m_modifications = 0;
};

TEST_F(DbcWindow, AssignedSignalIsSavedShownAgainAndDelivered) {
  ASSERT_TRUE(m_decoder.Create());
  ui::SetFileChooser([this](const ui::FileRequest& request, CString& chosen) {
    EXPECT_NE(request.filter.str().find(L"*.dbc"), std::wstring::npos);
    chosen = CString((m_dir / "obd2.dbc").wstring());
    return true;
  });
  {
    Person<CDbcSettingsDlg> person([](CDbcSettingsDlg& d) {
      EXPECT_EQ(d.List().GetItemCount(), 0);
      ASSERT_TRUE(d.ClickButton(analysisui::kDbcBrowse));
      // Chosen inside the settings folder: kept relative to it.
      EXPECT_EQ(d.GetDlgItemTextW(analysisui::kDbcFileEdit), L"obd2.dbc");
      ASSERT_EQ(d.List().GetItemCount(), 12);
      const int speed = RowOf(d, L"EngineSpeed");
      EXPECT_EQ(d.List().GetItemText(speed, CDbcSettingsDlg::kId), L"0x7E8");
      EXPECT_EQ(d.List().GetItemText(speed, CDbcSettingsDlg::kFactor), L"0.25");
      EXPECT_EQ(d.List().GetItemText(speed, CDbcSettingsDlg::kMux), L"PID = 12");
      EXPECT_EQ(d.List().GetItemText(RowOf(d, L"PID"), CDbcSettingsDlg::kMux),
                L"multiplexor, Service = 65");
      EXPECT_EQ(d.List().GetItemText(RowOf(d, L"CoolantTemperature"), CDbcSettingsDlg::kOffset),
                L"-40");
      // The search keeps the rows whose names contain the text, in any case.
      ASSERT_TRUE(d.TypeText(analysisui::kDbcSearch, L"speed"));
      EXPECT_EQ(d.List().GetItemCount(), 2);  // EngineSpeed, VehicleSpeed
      EXPECT_EQ(d.GetDlgItemTextW(analysisui::kDbcCount), L"2 of 12 signals shown");
      // The file assigns engine speed; the person takes it off and gives engine load a signal.
      EXPECT_EQ(d.List().GetItemText(RowOf(d, L"EngineSpeed"), CDbcSettingsDlg::kAppSignal),
                L"Engine speed");
      EXPECT_TRUE(d.List().ChooseCombo(RowOf(d, L"EngineSpeed"), CDbcSettingsDlg::kAppSignal, 0));
      d.TypeText(analysisui::kDbcSearch, L"LOAD");
      ASSERT_EQ(d.List().GetItemCount(), 1);
      EXPECT_TRUE(d.List().ChooseCombo(0, CDbcSettingsDlg::kAppSignal, 3));
      d.ClickButton(IDOK);
    });
    m_decoder.CallSettingsDialog();
  }
  EXPECT_EQ(m_modifications, 1);
  const std::string stored = ReadFile(m_dir / "decoders" / "OBD.txt");
  EXPECT_NE(stored.find("file = obd2.dbc\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("assign 0x7E8 EngineLoad = 5\nassign 0x7E8 EngineSpeed = -1\n"),
            std::string::npos)
      << stored;
  auto values = Decode(0x04, 0xFF, 0);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[3].first, 5);
  EXPECT_DOUBLE_EQ(values[3].second, 100.0);
  values = Decode(0x0C, 0x1F, 0x40);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[3], (std::pair<int, double>{-1, 2000.0}));

  // Reopened by a new decoder from the stored configuration: the window shows the assignment,
  // and Cancel after a change keeps it.
  CDbcDecoder again(L"OBD", [](int, int, double, int) {});
  ASSERT_TRUE(again.Create());
  CList<CAppSignal> apps;
  apps.AddTail(CAppSignal(1, L"Engine speed", L"1/min", 8));
  again.SetApplicationSignals(apps);
  Person<CDbcSettingsDlg> person([](CDbcSettingsDlg& d) {
    EXPECT_EQ(d.List().GetItemText(RowOf(d, L"EngineSpeed"), CDbcSettingsDlg::kAppSignal),
              L"\u2014");
    // Assigned, but not offered this time: shown by its name in the parameter database.
    EXPECT_EQ(d.List().GetItemText(RowOf(d, L"EngineLoad"), CDbcSettingsDlg::kAppSignal),
              L"Steering angle");
    d.List().ChooseCombo(RowOf(d, L"EngineLoad"), CDbcSettingsDlg::kAppSignal, 1);
    d.CloseByFrame();
  });
  again.CallSettingsDialog();
  int delivered = -2;
  again.EnumSignals([&](CDbcSignal& s) {
    if (s.m_name == L"EngineLoad") delivered = s.m_appSignal;
  });
  EXPECT_EQ(delivered, 5);
  ui::SetFileChooser({});
}

TEST_F(DbcWindow, FileThatDoesNotLoadIsShownWithItsLineAndThePreviousOneKept) {
  ASSERT_TRUE(m_decoder.SetFileName(L"obd2.dbc"));
  WriteFile(m_dir / "bad.dbc", "BO_ 100 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\nBO_ x\n");
  m_modifications = 0;
  Person<CDbcSettingsDlg> person([](CDbcSettingsDlg& d) {
    for (const wchar_t* file : {L"bad.dbc", L"missing.dbc"}) {
      d.TypeText(analysisui::kDbcFileEdit, file);
      d.ClickButton(IDOK);  // loads the typed file first; refused, so the window stays
      ASSERT_TRUE(d.IsOpen());
      const std::wstring state = d.GetDlgItemTextW(analysisui::kDbcStatus).str();
      EXPECT_NE(state.find(file == std::wstring(L"bad.dbc") ? L"bad.dbc:3:" : L"missing.dbc"),
                std::wstring::npos)
          << state;
      EXPECT_NE(state.find(L"Still in use: obd2.dbc"), std::wstring::npos) << state;
      EXPECT_EQ(d.GetDlgItemTextW(analysisui::kDbcFileEdit), L"obd2.dbc");
      EXPECT_EQ(d.List().GetItemCount(), 12);
    }
    d.ClickButton(IDOK);
  });
  m_decoder.CallSettingsDialog();
  CString file;
  ASSERT_TRUE(m_decoder.GetFileName(file));
  EXPECT_EQ(file, L"obd2.dbc");
  EXPECT_EQ(m_modifications, 0);
}

TEST_F(DbcWindow, WithoutAPersonTheWindowIsCancelled) {
  ASSERT_TRUE(m_decoder.SetFileName(L"obd2.dbc"));
  m_modifications = 0;
  host::CaptureLog log;
  m_decoder.CallSettingsDialog();
  EXPECT_EQ(m_modifications, 0);
  EXPECT_EQ(log.count_containing(L"no person to answer it, cancelled"), 1u);
}

}  // namespace

namespace driver_test {
namespace {

using XeCanAnalysis::CCanSequencer;
using XeCanAnalysis::CSequencerSettingsModel;

class SequencerWindow : public DriverFixture {
 protected:
  SequencerWindow() {
    io = std::make_unique<CanIo>(0);
    control = std::make_unique<CanControl>(L"tester", *io);
  }
  analysisui::AnalysisWindows m_windows;
  std::unique_ptr<CanIo> io;
  std::unique_ptr<CanControl> control;
};

TEST_F(SequencerWindow, RequestListIsEditedCheckedSavedAndReloaded) {
  const auto file = m_dir / "OBDTester.sequencer";
  WriteFile(file, "timer 10\nregular 7DF 010C\npoll 7DF 010D   # typo\noneshot 7DF 0902 st=5\n");
  CCanSequencer tester(L"OBDTester", control.get());
  Person<CSequencerSettingsDlg> person([](CSequencerSettingsDlg& d) {
    CXListCtrl& list = d.List();
    ASSERT_EQ(list.GetItemCount(), 3);
    // The line that does not read is kept in the list and named.
    EXPECT_EQ(list.GetItemText(1, CSequencerSettingsModel::Kind), L"poll");
    EXPECT_EQ(d.GetDlgItemTextW(analysisui::kSeqStatus),
              L"Line 2: unknown keyword 'poll' (known: timer, regular, oneshot)");
    d.ClickButton(IDOK);
    ASSERT_TRUE(d.IsOpen());  // refused
    EXPECT_TRUE(list.ChooseCombo(1, CSequencerSettingsModel::Kind, 0));
    EXPECT_EQ(list.GetItemText(2, CSequencerSettingsModel::Separation), L"5");
    // Add after the selected row, then a bad identifier, then its fix.
    list.Click(0, CSequencerSettingsModel::Payload);
    d.ClickButton(analysisui::kSeqAdd);
    ASSERT_EQ(list.GetItemCount(), 4);
    EXPECT_TRUE(list.EditCell(1, CSequencerSettingsModel::Identifier, L"800"));
    EXPECT_TRUE(list.EditCell(1, CSequencerSettingsModel::Payload, L"01 05"));
    EXPECT_EQ(d.GetDlgItemTextW(analysisui::kSeqStatus),
              L"Line 2: identifier '800' is not an 11-bit hex identifier");
    EXPECT_TRUE(list.EditCell(1, CSequencerSettingsModel::Identifier, L"7E0"));
    EXPECT_TRUE(list.EditCell(1, CSequencerSettingsModel::BlockSize, L"bs#"));  // refused
    EXPECT_EQ(list.GetItemText(1, CSequencerSettingsModel::BlockSize), L"");
    // Remove the first row with the Delete key; the timer changes too.
    list.Click(0, CSequencerSettingsModel::Payload);
    list.PressKey(VK_DELETE);
    d.TypeText(analysisui::kSeqTimer, L"0");
    EXPECT_EQ(d.GetDlgItemTextW(analysisui::kSeqStatus), L"Timer: timer takes 1..60000 (ms)");
    d.TypeText(analysisui::kSeqTimer, L"25");
    EXPECT_EQ(d.GetDlgItemTextW(analysisui::kSeqStatus), L"2 regular and 1 one-shot requests");
    d.ClickButton(IDOK);
  });
  tester.ChangeSettings();
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("timer 25\nregular 7E0 0105\nregular 7DF 010D\noneshot 7DF 0902 st=5\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(tester.TimerMs(), 25);  // reloaded

  // Cancel leaves the file alone.
  Person<CSequencerSettingsDlg> cancel([](CSequencerSettingsDlg& d) {
    d.ClickButton(analysisui::kSeqAdd);
    d.ClickButton(IDCANCEL);
  });
  tester.ChangeSettings();
  EXPECT_EQ(ReadFile(file), text);
}

}  // namespace
}  // namespace driver_test
