// The vehicle-simulation and sequencer sources: which calls they make on the host's analysis
// objects (recorded by fakes that a test factory builds), when, and what they store.
#include <gtest/gtest.h>

#include "host/mfc/Win.h"
#include "host/settings/CSeaBase.h"
#include "sources/CCanObdProbe.h"
#include "sources/CCanVehicleSender.h"
#include "tests/source/PluginRig.h"
#include "tests/sources/RecordingFactory.h"

namespace plugin_test {
namespace {

int g_shownResolution = 0;  // what the test window of the sequencer source showed

class AnalysisSources : public PluginRig {
 protected:
  AnalysisSources() {
    auto factory = std::make_unique<RecordingFactory>();
    m_factory = factory.get();
    EXPECT_TRUE(host::CurrentHost().Put<AnalysisFactory>(std::move(factory)));
  }
  template <typename Source>
  std::unique_ptr<Source> Make(int type) {
    auto s = std::make_unique<Source>(nullptr, type, L"OBD", 0, false, BITRATE_500K,
                                      FD_ARBITRATION_500K, FD_DATA_1M);
    s->set_active(true);
    return s;
  }
  // Clears the recorded calls and returns them.
  Calls Take() { return std::exchange(m_factory->calls, {}); }

  RecordingFactory* m_factory = nullptr;  // owned by the host
};

TEST_F(AnalysisSources, VehicleSourceMakesItsSimulatorOnceAndSwitchesIt) {
  auto s = Make<CCanVehicleSender>(1);
  EXPECT_TRUE(Take().empty());  // lazily, at the first start
  EXPECT_TRUE(s->start());
  EXPECT_EQ(m_factory->lastControl, s->holder().controller);
  EXPECT_TRUE(s->stop());
  EXPECT_TRUE(s->start());
  EXPECT_TRUE(s->stop());
  EXPECT_FALSE(s->has_settings());
  s.reset();
  EXPECT_EQ(Take(), (Calls{"Simulator(OBDVehicle)", "Activate(1)", "Activate(0)", "Activate(1)",
                           "Activate(0)", "~Simulator"}));
}

TEST_F(AnalysisSources, VehicleSourceDeliversNothingEvenWhileActive) {
  auto s = Make<CCanVehicleSender>(1);
  ASSERT_TRUE(s->start());
  CanIo sender = Sender(1);
  ASSERT_TRUE(sender.Send(Message(0x7DF, {2, 1, 0x0C})));
  SetTime(Now() + 1'000'000);
  ASSERT_TRUE(WaitUntilDelivered());
  EXPECT_TRUE(s->fetch());
  EXPECT_TRUE(s->batch().empty());
  EXPECT_EQ(s->received(), 0u);
}

TEST_F(AnalysisSources, NewSequencerSourceStartsWithDefaultsAndStoresThemAtTheEnd) {
  auto s = Make<CCanObdProbe>(2);
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"<none>"}));  // reading creates nothing
  EXPECT_EQ(s->holder().timer, 10);
  EXPECT_EQ(s->values().timerResolution, 10);
  EXPECT_TRUE(s->start());
  EXPECT_TRUE(s->start());  // StopTimer at every start while the regular action is off
  s.reset();
  EXPECT_EQ(Take(), (Calls{"Sequencer(OBDTester)", "SetTimer(10)", "StopTimer", "StopTimer",
                           "ShutDown", "~Sequencer stored 3"}));
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"10", L"0", L"0"}));
}

TEST_F(AnalysisSources, StoredSettingsDriveEveryStartAndStop) {
  SetEntry(L"OBD", {L"25", L"1", L"1"});
  auto s = Make<CCanObdProbe>(2);
  EXPECT_TRUE(s->values().regularActive && s->values().executeAtStart);
  EXPECT_TRUE(s->start());
  EXPECT_TRUE(s->stop());
  EXPECT_TRUE(s->start());
  EXPECT_EQ(Take(), (Calls{"Sequencer(OBDTester)", "SetTimer(25)", "StartAction", "StartTimer",
                           "StopTimer", "StartAction", "StartTimer"}));
}

TEST_F(AnalysisSources, IncompleteEntriesAreCompletedByReading) {
  SetEntry(L"OBD", {});
  Make<CCanObdProbe>(2)->read_settings();
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"10", L"0", L"0"}));
  SetEntry(L"P", {L"30"});
  auto s = std::make_unique<CCanObdProbe>(nullptr, 2, L"P", 1, false, BITRATE_500K,
                                          FD_ARBITRATION_500K, FD_DATA_1M);
  EXPECT_EQ(Entry(L"P"), (std::vector<std::wstring>{L"30", L"0", L"0"}));
  EXPECT_EQ(s->values().timerResolution, 30);
}

TEST_F(AnalysisSources, ApplyTakesTheDialogValuesAndSwitchesOnlyTheTimer) {
  auto s = Make<CCanObdProbe>(2);
  s->apply_settings({10, true, false});  // no sequencer yet: nothing to switch
  EXPECT_TRUE(Take().empty());
  s->start();
  Take();
  s->apply_settings({-1, false, true});  // the dialog lets a negative resolution through
  EXPECT_EQ(Take(), (Calls{"StopTimer"}));
  EXPECT_EQ(Entry(L"OBD"), (std::vector<std::wstring>{L"4294967295", L"0", L"1"}));
  EXPECT_EQ(s->holder().timer, 10);  // reaches a sequencer only through the store
  s.reset();
  Take();

  // Read back as -1: the new sequencer gets no SetTimer.
  auto again = Make<CCanObdProbe>(2);
  EXPECT_EQ(again->holder().timer, -1);
  again->start();
  EXPECT_EQ(Take(), (Calls{"Sequencer(OBDTester)", "StartAction", "StopTimer"}));
}

TEST_F(AnalysisSources, OneShotAndOptionsNeedASequencer) {
  std::vector<std::pair<std::wstring, UINT>> boxes;
  mfc::SetMessageBoxResponder([&](const CString& text, UINT type) {
    boxes.emplace_back(text.str(), type);
    return IDOK;
  });
  auto s = Make<CCanObdProbe>(2);
  s->one_shot();
  s->options();
  EXPECT_TRUE(Take().empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first,
            L"CanSequencer object not yet instanciated; activate this channel first and apply "
            L"settings. (Instantiation requries new \"Insert Candidate\".)");
  EXPECT_EQ(boxes[0].second, MB_ICONINFORMATION);

  s->start();
  Take();
  s->one_shot();
  s->options();
  EXPECT_EQ(Take(), (Calls{"StartAction", "ChangeSettings"}));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(s->has_settings());
}

// The window comes from the factory the library entry installs, and sees the source's values.
TEST_F(AnalysisSources, SequencerWindowComesFromTheInstalledFactory) {
  struct Window : ISettingsDialog {
    explicit Window(ISequencerSourceAccess& s) : source(s) {}
    void show() override { g_shownResolution = source.values().timerResolution; }
    ISequencerSourceAccess& source;
  };
  const auto previous = CCanObdProbe::set_dialog_factory(
      [](ISequencerSourceAccess& s) -> std::unique_ptr<ISettingsDialog> {
        return std::make_unique<Window>(s);
      });
  SetEntry(L"OBD", {L"40", L"0", L"0"});
  auto s = Make<CCanObdProbe>(2);
  s->show_settings();
  EXPECT_EQ(g_shownResolution, 40);
  CCanObdProbe::set_dialog_factory(previous);
}

TEST_F(AnalysisSources, SequencerSourceCapturesItsChannelForTheHost) {
  auto s = Make<CCanObdProbe>(2);
  ASSERT_TRUE(s->start());
  CanIo sender = Sender(1);
  ASSERT_TRUE(sender.Send(Message(0x7E8, {3, 0x41, 0x0D, 20})));
  SetTime(Now() + 1'000'000);  // the transmission has ended
  ASSERT_TRUE(WaitUntilDelivered());
  ASSERT_TRUE(s->fetch());
  ASSERT_EQ(s->batch().size(), 1u);
  EXPECT_EQ(s->batch()[0].message.id, 0x7E8u);
}

}  // namespace
}  // namespace plugin_test
