// A person at the window while measurements run (label "threads"; run under ThreadSanitizer in CI):
// real-time measurements of the default settings start and stop in a loop, each Stop at a random
// moment of its run, down to right after Start. Meanwhile the person opens every dialog, edits,
// clicks every link (the DBC decoder's settings too), and presses OK, Apply and Cancel. Nothing may race, nothing may
// hang (every wait is bounded), and every row of the summary must add up after each run.
//   CANHOST_PERSON_SEED=1234 build/tsan/bin/app_person_test   repeats one sequence of moments
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "app/SettingsSeed.h"
#include "app/UiSession.h"
#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/candriver/CanDriver.h"
#include "host/mfc/Win.h"
#include "host/services/CCentralMessageService.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "tests/app/OpenDialogs.h"
#include "tests/app/WithinBound.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::OpenDialogs;

// Templates and controls of the plug-in's dialogs, as a person finds them on the screen.
constexpr int kCanBus = 1000, kDecoding = 2000, kSequencer = 2001, kStandard = 2002;
constexpr int kSourceTable = 1001, kAdd = 1002, kRemove = 1003, kDelay = 2009;
constexpr int kSourceName = 2, kSourceLink = 7;
constexpr int kChannelTable = 2006, kTimeout = 2015, kDecoderCombo = 1, kDecoderLink = 2;
constexpr int kRegular = 2011, kTimer = 2015, kAtStart = 2016, kOneShot = 2013, kOptions = 2014;
constexpr int kRangeTable = 2018;
constexpr int kApply = 2005;
constexpr int kRounds = 14;

unsigned Seed() {
  if (const char* text = std::getenv("CANHOST_PERSON_SEED"))
    return static_cast<unsigned>(std::atoi(text));
  return std::random_device{}();
}

class Person {
 public:
  Person(app::UiSession& session, OpenDialogs& dialogs, unsigned seed)
      : m_session(session), m_dialogs(dialogs), m_random(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

  // Lets the UI thread's queue run (the source dialogs' refreshes, the regular re-sync) for `ms`.
  void Linger(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      CCentralMessageService::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < until);
  }

  // Every dialog there is: the CAN-Bus window, each source's window through its link, CAN
  // Decoding, and the DBC decoder's settings through their links.
  void OpenEverything() {
    m_session.ShowSettings(0);
    if (CDialog3d* bus = m_dialogs.Find(kCanBus)) {
      CXListCtrl* table = OpenDialogs::List(*bus, kSourceTable);
      for (int row = 0; row < table->GetItemCount(); ++row)
        table->Click(row, kSourceLink);
    }
    m_session.ShowSettings(1);
    ClickDecoderLinks();
  }

  void ClickDecoderLinks() {
    CDialog3d* decoding = m_dialogs.Find(kDecoding);
    if (!decoding) return;
    CXListCtrl* table = OpenDialogs::List(*decoding, kChannelTable);
    for (int row = 0; row < table->GetItemCount(); ++row)
      table->Click(row, kDecoderLink);
  }

  // What a person does in the open windows, in a random order of small steps.
  void Work(int steps, bool running) {
    for (int i = 0; i < steps; ++i) {
      switch (Pick(8)) {
        case 0:
          WorkOnCanBus(running);
          break;
        case 1:
          WorkOnDecoding();
          break;
        case 2:
          ClickDecoderLinks();
          break;
        case 3:
          for (CDialog3d* dlg : m_dialogs.All(kSequencer))
            WorkOnSequencer(*dlg);
          break;
        case 4:
          for (CDialog3d* dlg : m_dialogs.All(kStandard))
            WorkOnRanges(*dlg, running);
          break;
        case 5:
          OpenEverything();
          break;
        case 6:
          m_session.Snapshot();
          m_session.Signals();
          break;
        default:
          Linger(5 + Pick(30));
      }
    }
  }

  void WorkOnCanBus(bool running) {
    CDialog3d* bus = m_dialogs.Find(kCanBus);
    if (!bus) return m_session.ShowSettings(0);
    CXListCtrl* table = OpenDialogs::List(*bus, kSourceTable);
    const int rows = table->GetItemCount();
    if (rows == 0) return;
    const int row = Pick(rows);
    const CString name = table->GetItemText(row, kSourceName);
    table->EditCell(row, kSourceName, (name.str() + L"'").c_str());
    table->EditCell(row, kSourceName, name.str().c_str());
    bus->TypeText(kDelay, L"0");
    // Add a row and remove it again: the module is not touched before Apply.
    bus->ClickButton(kAdd);
    table->Click(table->GetItemCount() - 1, kSourceName);
    bus->ClickButton(kRemove);
    EXPECT_EQ(bus->ClickButton(kApply), !running) << "Apply of the CAN-Bus window";
    if (Pick(3) == 0) bus->ClickButton(Pick(2) == 0 ? IDOK : IDCANCEL);
  }

  void WorkOnDecoding() {
    CDialog3d* decoding = m_dialogs.Find(kDecoding);
    if (!decoding) return m_session.ShowSettings(1);
    CXListCtrl* table = OpenDialogs::List(*decoding, kChannelTable);
    // Channel 0 keeps its DBC decoder at the end of each step, so the signals go on; the others
    // get one and lose it.
    for (int row = 0; row < table->GetItemCount(); ++row)
      table->ChooseCombo(row, kDecoderCombo, table->GetItemData64(row) == 0 ? 1 : Pick(2));
    decoding->TypeText(kTimeout, Pick(2) == 0 ? L"0" : L"5");
    EXPECT_TRUE(decoding->ClickButton(kApply)) << "Apply of CAN Decoding stays live";
    if (Pick(3) == 0) decoding->ClickButton(Pick(2) == 0 ? IDOK : IDCANCEL);
  }

  void WorkOnSequencer(CDialog3d& dlg) {
    dlg.ToggleCheck(kAtStart);
    dlg.ToggleCheck(kRegular);
    dlg.TypeText(kTimer, L"10");
    EXPECT_TRUE(dlg.ClickButton(kApply)) << "Apply of the sequencer stays live";
    dlg.ClickButton(kOneShot);
    dlg.ClickButton(kOptions);
    // The regular requests end switched on, so that the tester keeps the bus busy.
    if (dlg.GetDlgItem(kRegular)->GetCheck() == 0) dlg.ToggleCheck(kRegular);
    dlg.ClickButton(Pick(3) == 0 ? IDOK : kApply);
  }

  void WorkOnRanges(CDialog3d& dlg, bool running) {
    CXListCtrl* ranges = OpenDialogs::List(dlg, kRangeTable);
    ranges->Click(-1, -1);  // below the rows: a default row
    ranges->EditCell(ranges->GetItemCount() - 1, 1, L"1073741823");
    EXPECT_EQ(dlg.ClickButton(kApply), !running) << "Apply of a standard source";
    if (Pick(4) == 0) dlg.ClickButton(IDCANCEL);
  }

  // Starts and stops at a random moment: right after Start, within microseconds, within a frame,
  // or after some frames.
  void StartAndStop(int round) {
    const int moment = Pick(6);
    std::string error;
    ASSERT_TRUE(m_session.Start(error)) << error;
    switch (moment) {
      case 0:
        break;  // Stop at once: the processing thread may not even run yet
      case 1:
        std::this_thread::sleep_for(std::chrono::microseconds(Pick(300)));
        break;
      case 2:
        Linger(Pick(100));
        break;
      default:
        // Some frames, with the person at work meanwhile.
        EXPECT_TRUE(testing_support::WaitFor([&] { return m_session.Snapshot().frames > 0; }));
        Work(4 + Pick(6), true);
        Linger(100 + Pick(300));
    }
    testing_support::WithinBound([&] { m_session.Stop(); }, "Stop");
    const ui::MeasurementSnapshot s = m_session.Snapshot();
    EXPECT_FALSE(s.running);
    for (const ui::ChannelRow& r : s.rows)
      EXPECT_EQ(r.received, r.delivered + r.old + r.noRoom + r.future + r.waiting + r.overflow)
          << "round " << round << ", channel " << r.channel << " (" << r.source << ")";
  }

 private:
  app::UiSession& m_session;
  OpenDialogs& m_dialogs;
  std::mt19937 m_random;
};

TEST(Person, WorksTheWindowsWhileMeasurementsStartAndStop) {
  const unsigned seed = Seed();
  std::printf("CANHOST_PERSON_SEED=%u\n", seed);
  std::fflush(stdout);  // a race report ends the program: the seed must be out by then
  testing_support::TempDir dir;
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Seeded)
      << error;
  host::SetSettingsFolder(dir / "settings");
  XeCanDriverKvaser::ReloadConfiguration();
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  OpenDialogs dialogs;
  mfc::SetMessageBoxResponder([](const CString&, UINT) { return IDOK; });
  // The DBC decoder's settings: the person moves the coolant temperature to another signal of the
  // file and back, and presses OK.
  int dbcWindows = 0;
  XeCanAnalysis::SetDbcSettingsResponder([&](auto& model) {
    ++dbcWindows;
    for (std::size_t row = 0; row < model.Signals().size(); ++row)
      if (model.Signals()[row].appSignal == 3) model.Assign(row, dbcWindows % 2 == 0 ? 3 : -1);
    return true;
  });
  {
    // Frames of 2 ms: the processing thread is inside a block much of the time, so that a change
    // made under it does not go unseen.
    app::UiSession session(0.0002, 10);
    ASSERT_TRUE(session.Create("", error)) << error;
    Person person(session, dialogs, seed);
    person.OpenEverything();
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
      person.StartAndStop(round);
      person.Work(6, false);
    }
    EXPECT_GT(dbcWindows, 0) << "the decoder's settings never opened";
    EXPECT_TRUE(session.Close(error)) << error;
  }
}

}  // namespace
