// The "CAN Sequencer" dialog of a sequencer source, driven through the control model: the values
// it opens with, what OK / Apply / Cancel make of the source and its stored entry, the one-shot and
// options actions before and after the sequencer exists, and the changes made while acquisition
// runs.
#include <gtest/gtest.h>

#include "dialogs/CCanSequencerDlg.h"
#include "dialogs/DialogResources.h"
#include "host/mfc/Win.h"
#include "host/ui/CDataExchange.h"
#include "sources/CCanObdProbe.h"
#include "tests/source/PluginRig.h"
#include "tests/sources/RecordingFactory.h"

namespace plugin_test {
namespace {

// The window the plug-in's factory builds, recorded so that the test can click it.
CCanSequencerDlg* g_built = nullptr;
SequencerDialogFactory g_pluginFactory = nullptr;
std::unique_ptr<ISettingsDialog> Capture(ISequencerSourceAccess& source) {
  auto window = g_pluginFactory(source);
  g_built = dynamic_cast<CCanSequencerDlg*>(window.get());
  return window;
}

class SequencerDialog : public PluginRig {
 protected:
  SequencerDialog() {
    auto factory = std::make_unique<RecordingFactory>();
    m_factory = factory.get();
    EXPECT_TRUE(host::CurrentHost().Put<AnalysisFactory>(std::move(factory)));
    g_pluginFactory = CCanObdProbe::set_dialog_factory(&Capture);
    EXPECT_NE(g_pluginFactory, nullptr) << "the library entry installs the sequencer's window";
    mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      m_boxes.push_back(text);
      return IDOK;
    });
    m_source = std::make_unique<CCanObdProbe>(nullptr, 2, L"OBD", 0, false, BITRATE_500K,
                                              FD_ARBITRATION_500K, FD_DATA_1M);
    m_source->set_active(true);
  }
  // The plug-in's factory is registered at load, for the process: the next test wraps it again.
  ~SequencerDialog() override {
    m_source.reset();
    CCanObdProbe::set_dialog_factory(g_pluginFactory);
  }
  // The source's window, opened as the CAN-Bus dialog's link opens it.
  CCanSequencerDlg& Open() {
    m_source->show_settings();
    EXPECT_TRUE(g_built && g_built->IsOpen());
    return *g_built;
  }
  Calls Take() { return std::exchange(m_factory->calls, {}); }

  RecordingFactory* m_factory = nullptr;  // owned by the host
  std::vector<CString> m_boxes;
  std::unique_ptr<CCanObdProbe> m_source;
};

TEST_F(SequencerDialog, OpensWithTheSourceValuesAndAppliesThem) {
  CCanSequencerDlg& dlg = Open();
  EXPECT_EQ(dlg.Title(), L"CAN Sequencer");
  EXPECT_EQ(dlg.GetDlgItem(can::IDC_REGULAR_ACTIVE)->GetCheck(), 0);
  EXPECT_EQ(dlg.GetDlgItem(can::IDC_EXECUTE_AT_START)->GetCheck(), 0);
  EXPECT_EQ(dlg.GetDlgItemTextW(can::IDC_TIMER), L"10");
  m_source->show_settings();
  EXPECT_EQ(dlg.RaiseCount(), 1);

  // Cancel after editing changes neither the source nor the store.
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  dlg.TypeText(can::IDC_TIMER, L"25");
  dlg.ClickButton(IDCANCEL);
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_source->values().timerResolution, 10);
  EXPECT_EQ(Entry(L"OBD"), std::vector<std::wstring>{L"<none>"});

  // Apply stores all three; the resolution waits for a new source, the timer switches at once.
  Open();
  EXPECT_EQ(dlg.GetDlgItemTextW(can::IDC_TIMER), L"10");
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  dlg.ToggleCheck(can::IDC_EXECUTE_AT_START);
  dlg.TypeText(can::IDC_TIMER, L"25");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_TRUE(dlg.IsOpen());
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"25", L"1", L"1"}));
  EXPECT_EQ(m_source->holder().timer, 10);

  // Letters cannot be typed into the timer field; left empty it is refused with the integer
  // message, marked, the boxes applied and the window closed.
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  EXPECT_FALSE(dlg.TypeText(can::IDC_TIMER, L"fast"));
  EXPECT_TRUE(dlg.TypeText(can::IDC_TIMER, L"-"));
  dlg.ClickButton(IDOK);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0], CString(kParseIntMessage));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"25", L"0", L"1"}));
  Open();
  EXPECT_EQ(dlg.GetDlgItemTextW(can::IDC_TIMER), L"25");
  EXPECT_EQ(dlg.GetDlgItem(can::IDC_EXECUTE_AT_START)->GetCheck(), 1);
}

TEST_F(SequencerDialog, EscapeIsCancelAndReturnIsOk) {
  CCanSequencerDlg& dlg = Open();
  dlg.TypeText(can::IDC_TIMER, L"30");
  ASSERT_TRUE(dlg.PressKey(VK_ESCAPE));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_source->values().timerResolution, 10);
  Open();
  dlg.TypeText(can::IDC_TIMER, L"30");
  ASSERT_TRUE(dlg.PressKey(VK_RETURN));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_source->values().timerResolution, 30);
}

TEST_F(SequencerDialog, ActionsNeedTheSequencerOfAFirstStart) {
  CCanSequencerDlg& dlg = Open();
  dlg.ClickButton(can::IDC_ONE_SHOT);
  dlg.ClickButton(can::IDC_OPTIONS);
  EXPECT_TRUE(Take().empty());
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0],
            CString(L"CanSequencer object not yet instanciated; activate this channel first and "
                    L"apply settings. (Instantiation requries new \"Insert Candidate\".)"));

  // Started and stopped once: Apply with Active starts the timer though the channel is stopped.
  ASSERT_TRUE(m_source->start());
  ASSERT_TRUE(m_source->stop());
  Take();
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  dlg.ClickButton(ID_APPLY_NOW);
  dlg.ClickButton(can::IDC_ONE_SHOT);
  dlg.ClickButton(can::IDC_OPTIONS);
  EXPECT_EQ(Take(), (Calls{"StartTimer", "StartAction", "ChangeSettings"}));
  EXPECT_EQ(m_boxes.size(), 1u);
}

TEST_F(SequencerDialog, TheRegularActionAndExecuteAtStartChangeWhileAcquisitionRuns) {
  ASSERT_TRUE(m_source->start());
  m_source->set_running(true);
  CCanSequencerDlg& dlg = Open();
  Take();
  // The regular requests go on and off at once; "Execute at start" counts from the next start.
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  dlg.ToggleCheck(can::IDC_EXECUTE_AT_START);
  EXPECT_TRUE(dlg.ClickButton(ID_APPLY_NOW));
  EXPECT_EQ(Take(), (Calls{"StartTimer"}));
  EXPECT_TRUE(m_source->values().regularActive);
  EXPECT_TRUE(m_source->values().executeAtStart);
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"10", L"1", L"1"}));
  dlg.ToggleCheck(can::IDC_REGULAR_ACTIVE);
  EXPECT_TRUE(dlg.ClickButton(IDOK));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(Take(), (Calls{"StopTimer"}));
  m_source->set_running(false);
  ASSERT_TRUE(m_source->stop());
  Take();
  ASSERT_TRUE(m_source->start());
  EXPECT_EQ(Take(), (Calls{"StartAction", "StopTimer"}));

  // A new timer resolution reaches the sequencer only when the source is built again: the log
  // says so.
  Open();
  dlg.TypeText(can::IDC_TIMER, L"40");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(m_log.count_containing(L"the timer resolution of 40 ms is stored; the sequencer keeps "
                                   L"10 ms until the source is built again"),
            1u);
  ASSERT_TRUE(m_source->stop());
}

}  // namespace
}  // namespace plugin_test
