// The session of canhost ui without a window: a real-time measurement of the default settings on
// its processing thread, and a reader on this thread that takes the signal snapshots meanwhile;
// Stop at any moment of a run; what the window's log shows; changes made between runs.
#include "app/UiSession.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/CanSinkHost.h"
#include "app/SettingsSeed.h"
#include "host/candriver/CanDriver.h"
#include "host/mfc/Win.h"
#include "host/services/HostClock.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "tests/app/OpenDialogs.h"
#include "tests/app/WithinBound.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::WithinBound;

// Every row of the summary adds up: each message received is in exactly one column.
void ExpectRowsAddUp(const ui::MeasurementSnapshot& s) {
  for (const ui::ChannelRow& r : s.rows)
    EXPECT_EQ(r.received, r.delivered + r.old + r.noRoom + r.future + r.waiting + r.overflow)
        << "channel " << r.channel << " (" << r.source << ")";
}

bool Logged(const ui::LogModel& log, const std::string& part, ui::LogLevel level) {
  const auto lines = log.Lines();
  return std::any_of(lines.begin(), lines.end(), [&](const ui::LogEntry& e) {
    return e.level == level && e.text.find(part) != std::string::npos;
  });
}

// Points the host at `folder`: its seas and its driver configuration are read from there.
void UseSettings(const std::filesystem::path& folder) {
  host::SetSettingsFolder(folder);
  CSeaBase::ReloadAll();
  XeCanDriverKvaser::ReloadConfiguration();
}

// A session on the embedded default settings, seeded into a fresh folder.
class DefaultSession : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_EQ(app::SettingsSeed::Seed(m_dir / "settings", error), app::SettingsSeed::Result::Seeded)
        << error;
    UseSettings(m_dir / "settings");
    ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
    m_session = std::make_unique<app::UiSession>(0.001, 100);
    ASSERT_TRUE(m_session->Create("", error)) << error;
  }
  void TearDown() override {
    std::string error;
    if (m_session) {
      EXPECT_TRUE(m_session->Close(error)) << error;
    }
    m_session.reset();
  }

  testing_support::TempDir m_dir;
  std::unique_ptr<app::UiSession> m_session;
};

const ui::SignalRow* Row(const ui::SignalSnapshot& snapshot, const std::string& name) {
  const auto it = std::find_if(snapshot.rows.begin(), snapshot.rows.end(),
                               [&](const ui::SignalRow& r) { return r.series.name == name; });
  return it == snapshot.rows.end() ? nullptr : &*it;
}

TEST(UiSession, PublishesTheDecodedSignalsWhileTheMeasurementRuns) {
  testing_support::TempDir dir;
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Seeded)
      << error;
  UseSettings(dir / "settings");
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  app::UiSession session(0.001, 100);
  ASSERT_TRUE(session.Create("", error)) << error;
  // The window names the modules as a person does, not by their classes.
  EXPECT_EQ(session.Modules(), (std::vector<std::string>{"CAN-Sources", "CAN Decoding"}));
  // The simulated car records nothing by design; its row says so rather than show a puzzling 0.
  for (const ui::ChannelRow& row : session.Snapshot().rows)
    EXPECT_EQ(row.note.find("records nothing") != std::string::npos, row.channel == 1)
        << row.source;
  ASSERT_TRUE(session.Start(error)) << error;
  // The OBD-II tester asks for engine speed, vehicle speed and coolant temperature in turn.
  const bool decoded = testing_support::WaitFor([&] {
    const ui::SignalSnapshotPtr s = session.Signals();
    for (const char* name : {"Engine speed", "Vehicle speed", "Coolant temperature"}) {
      const ui::SignalRow* row = Row(*s, name);
      if (row == nullptr || row->series.points.size() < 2) return false;
    }
    return true;
  });
  session.Stop();
  ASSERT_TRUE(decoded);
  const ui::SignalSnapshotPtr s = session.Signals();
  const ui::SignalRow* rpm = Row(*s, "Engine speed");
  ASSERT_NE(rpm, nullptr);
  EXPECT_EQ(rpm->series.unit, "1/min");
  EXPECT_EQ(rpm->source, "CAN 0");
  EXPECT_GE(rpm->value, 800.0);
  EXPECT_FALSE(rpm->timedOut);
  EXPECT_LE(rpm->time, s->seconds);
  EXPECT_FALSE(session.Snapshot().running);
  EXPECT_TRUE(session.Close(error)) << error;
}

const ui::MessageStat* Message(const ui::MessageSnapshot& s, int channel, std::uint32_t id) {
  const auto it = std::find_if(s.rows.begin(), s.rows.end(), [&](const ui::MessageStat& m) {
    return m.channel == channel && m.id == id;
  });
  return it == s.rows.end() ? nullptr : &*it;
}

// The message list of the default settings with a DBC file for the generator traffic of channel
// 2: its messages and the OBD-II answers of channel 0, named and decoded by the DBC files of their
// channels' decoders.
TEST(UiSession, ListsTheMessagesOfEveryChannelNamedByItsDbcFile) {
  constexpr std::uint32_t kAmbient = ui::kExtendedIdFlag | 0x18FEF100u;
  testing_support::TempDir dir;
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Seeded)
      << error;
  UseSettings(dir / "settings");
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  ASSERT_TRUE(app::CanSinkHost::StoreDbcFile(2, (dir / "settings" / "canhost.dbc").string(), error))
      << error;
  auto session = std::make_unique<app::UiSession>(0.001, 100);
  ASSERT_TRUE(session->Create("", error)) << error;
  ASSERT_TRUE(session->Start(error)) << error;
  const bool seen = testing_support::WaitFor([&] {
    const ui::MessageSnapshotPtr s = session->Messages();
    const ui::MessageStat* counter = Message(*s, 2, 0x100);
    return counter && counter->count >= 20 && counter->rate > 0 && Message(*s, 2, kAmbient) &&
           Message(*s, 0, 0x7E8);
  });
  WithinBound([&] { session->Stop(); }, "Stop");
  ASSERT_TRUE(seen);
  const ui::MessageSnapshotPtr s = session->Messages();
  // Channel 2 receives its ten-millisecond counter at about 100 messages/s.
  const ui::MessageStat& counter = *Message(*s, 2, 0x100);
  EXPECT_NEAR(counter.rate, 100.0, 15.0);
  EXPECT_LE(counter.last, s->seconds);
  EXPECT_EQ(session->MessageName(2, 0x100), "Counter100");
  EXPECT_EQ(session->MessageName(2, kAmbient), "AmbientConditions");
  EXPECT_EQ(session->MessageName(0, 0x7E8), "OBD2_ECU1_Response");
  EXPECT_EQ(session->MessageName(2, 0x7E8), "");
  EXPECT_EQ(session->MessageName(1, 0x100), "") << "channel 1 has no DBC file";
  const auto values = session->DecodeMessage(2, 0x100, counter.data.data(), counter.length);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Count100");
  const std::uint32_t k = counter.data[0] | counter.data[1] << 8 | counter.data[2] << 16 |
                          static_cast<std::uint32_t>(counter.data[3]) << 24;
  EXPECT_EQ(values[0].value, static_cast<double>(k));
  const ui::MessageStat& answer = *Message(*s, 0, 0x7E8);
  std::vector<std::string> names;
  for (const ui::DecodedSignal& v :
       session->DecodeMessage(0, 0x7E8, answer.data.data(), answer.length))
    names.push_back(v.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "PID"), names.end());

  // A DBC signal no application signal carries, charted from the list: from the next start on it
  // is a signal of the live view with the counter's values; charted no more, it goes.
  EXPECT_FALSE(session->ChartSignal(2, 0x100, "NoSuchSignal", true));
  ASSERT_TRUE(session->ChartSignal(2, 0x100, "Count100", true));
  EXPECT_TRUE(session->Charted(2, 0x100, "Count100"));
  ASSERT_TRUE(session->Start(error)) << error;
  const auto shown = [&] {
    const ui::SignalSnapshotPtr signals = session->Signals();
    return std::any_of(signals->rows.begin(), signals->rows.end(),
                       [](const ui::SignalRow& r) { return r.series.name == "Count100"; });
  };
  ui::SignalSnapshotPtr held;
  ASSERT_TRUE(testing_support::WaitFor([&] {
    held = session->Signals();
    const auto it = std::find_if(held->rows.begin(), held->rows.end(), [](const ui::SignalRow& r) {
      return r.series.name == "Count100";
    });
    return it != held->rows.end() && it->series.points.size() >= 20;
  }));
  const auto row = std::find_if(held->rows.begin(), held->rows.end(),
                                [](const ui::SignalRow& r) { return r.series.name == "Count100"; });
  EXPECT_TRUE(row->fromMessageList);
  EXPECT_EQ(row->source, "CAN 2");
  // The generator counts up by one every 10 ms.
  const auto& points = row->series.points;
  for (std::size_t i = 1; i < points.size(); ++i) {
    EXPECT_EQ(points[i].value, points[i - 1].value + 1) << i;
    EXPECT_NEAR(points[i].time - points[i - 1].time, 0.01, 0.0015) << i;
  }
  ASSERT_TRUE(session->ChartSignal(2, 0x100, "Count100", false));
  EXPECT_TRUE(testing_support::WaitFor([&] { return !shown(); }));
  WithinBound([&] { session->Stop(); }, "Stop");
  EXPECT_TRUE(session->Close(error)) << error;
}

// A Stop right after Start comes before the processing thread has built its loop: it must end
// that run all the same, at once.
TEST_F(DefaultSession, StopRightAfterStartEndsTheRun) {
  for (int run = 0; run < 25; ++run) {
    std::string error;
    ASSERT_TRUE(m_session->Start(error)) << error;
    WithinBound([&] { m_session->Stop(); }, "Stop right after Start");
    EXPECT_FALSE(m_session->Snapshot().running);
    ExpectRowsAddUp(m_session->Snapshot());
  }
}

// Both OBD-II sources rebuilt in the CAN-Bus window (another bit rate, the same for both): the new
// sources are bound at once, channel 0 keeps its DBC decoder and its file, and the next run
// decodes as before.
TEST_F(DefaultSession, RebuiltSourcesKeepTheirChannelsDecoders) {
  // The parameter database names a DBC file for channel 0 too; it counts when the sink is made,
  // not when a source is bound later.
  std::filesystem::copy_file(testing_support::SourceDir() / "data" / "sample.dbc",
                             m_dir / "settings" / "sample.dbc");
  testing_support::OpenDialogs dialogs;
  m_session->ShowSettings(0);
  CDialog3d* bus = dialogs.Find(1000);
  ASSERT_NE(bus, nullptr);
  CXListCtrl* sources = testing_support::OpenDialogs::List(*bus, 1001);
  constexpr int kBitrate = 5, k250k = 6;
  ASSERT_EQ(sources->Cell(0, kBitrate)->labels.at(k250k), L"250k");
  for (int row : {0, 1})
    ASSERT_TRUE(sources->ChooseCombo(row, kBitrate, k250k));
  ASSERT_TRUE(bus->ClickButton(IDOK));
  m_session->ShowSettings(1);
  CDialog3d* decoding = dialogs.Find(2000);
  ASSERT_NE(decoding, nullptr);
  CXListCtrl* channels = testing_support::OpenDialogs::List(*decoding, 2006);
  ASSERT_GE(channels->GetItemCount(), 1);
  EXPECT_EQ(channels->GetItemData64(0), 0);
  EXPECT_EQ(channels->GetItemText(0, 1), L"DBC decoder");
  EXPECT_NE(testing_support::ReadFile(m_dir / "settings" / "decoders" / "DBC Decoder.txt")
                .find("obd2.dbc"),
            std::string::npos);
  std::string error;
  ASSERT_TRUE(m_session->Start(error)) << error;
  EXPECT_TRUE(testing_support::WaitFor([&] {
    const ui::SignalSnapshotPtr s = m_session->Signals();
    return std::any_of(s->rows.begin(), s->rows.end(), [](const ui::SignalRow& r) {
      return r.series.name == "Engine speed" && r.series.points.size() >= 2;
    });
  }));
  WithinBound([&] { m_session->Stop(); }, "Stop");
  ExpectRowsAddUp(m_session->Snapshot());
}

// On a host clock that does not move, the loop waits for the end of its first frame for ever;
// Stop wakes it.
TEST(UiSession, StopWakesTheLoopWaitingForTheEndOfItsFrame) {
  testing_support::TempDir dir;
  const host::ScopedManualClock clock(1'000'000'000);
  std::string error;
  ASSERT_NE(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Failed);
  UseSettings(dir / "settings");
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  app::UiSession session(0.001, 100);
  ASSERT_TRUE(session.Create("", error)) << error;
  ASSERT_TRUE(session.Start(error)) << error;
  WithinBound([&] { session.Stop(); }, "Stop of a loop waiting on the host clock");
  EXPECT_EQ(session.Snapshot().frames, 0u);
  EXPECT_TRUE(session.Close(error)) << error;
}

// Settings with nothing to measure: Start says so in the log. A source added in the CAN-Bus
// window is bound to the sink at once and listed in CAN Decoding; its channel, missing from
// candriver.conf (the log says so), is configured in the file, and the next Start uses it.
TEST(UiSession, NothingToMeasureIsSaidAndChangesCountFromTheNextStart) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "Application.sea",
                             "list \"CAN-Sources\"\n"
                             "line \"CAN 2\", \"0\", \"2\", \"0\", \"-2\", \"0\", "
                             "\"-1000\", \"-1001\"\n");
  const std::string traffic = "generator traffic id=100,200 period=10ms\n";
  testing_support::WriteFile(dir / "candriver.conf", "channel 2 virtual bus=traffic\n" + traffic);
  UseSettings(dir.path());
  std::string error;
  ASSERT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
  testing_support::OpenDialogs dialogs;
  mfc::SetMessageBoxResponder([](const CString&, UINT) { return IDOK; });
  {
    app::UiSession session(0.001, 100);
    ASSERT_TRUE(session.Create("", error)) << error;
    const ui::LogModel& log = *session.Log();
    EXPECT_FALSE(session.Start(error));
    EXPECT_NE(error.find("no active CAN source"), std::string::npos) << error;
    EXPECT_NE(error.find("nothing to measure"), std::string::npos) << error;
    EXPECT_TRUE(Logged(log, "nothing to measure", ui::LogLevel::Error));

    // The CAN-Bus window: a new active row on channel 3.
    session.ShowSettings(0);
    CDialog3d* bus = dialogs.Find(1000);
    ASSERT_NE(bus, nullptr);
    CXListCtrl* sources = testing_support::OpenDialogs::List(*bus, 1001);
    ASSERT_TRUE(bus->ClickButton(1002));
    ASSERT_EQ(sources->GetItemCount(), 2);
    ASSERT_TRUE(sources->EditCell(1, 3, L"3"));
    ASSERT_TRUE(sources->Click(1, 0));
    ASSERT_TRUE(bus->ClickButton(IDOK));
    EXPECT_TRUE(Logged(log, "channel 3 is not configured", ui::LogLevel::Error));

    session.ShowSettings(1);
    CDialog3d* decoding = dialogs.Find(2000);
    ASSERT_NE(decoding, nullptr);
    CXListCtrl* channels = testing_support::OpenDialogs::List(*decoding, 2006);
    ASSERT_EQ(channels->GetItemCount(), 2);
    EXPECT_EQ(channels->GetItemText(1, 0), L"<unnamed>");
    EXPECT_EQ(channels->GetItemData64(1), 3);

    testing_support::WriteFile(
        dir / "candriver.conf",
        "channel 2 virtual bus=traffic\nchannel 3 virtual bus=traffic\n" + traffic);
    ASSERT_TRUE(session.Start(error)) << error;
    EXPECT_TRUE(Logged(log, "candriver.conf changed", ui::LogLevel::Warning));
    const auto channel3 = [&] {
      for (const ui::ChannelRow& r : session.Snapshot().rows)
        if (r.channel == 3) return r.delivered;
      return std::uint64_t{0};
    };
    EXPECT_TRUE(testing_support::WaitFor([&] { return channel3() > 10; }));
    WithinBound([&] { session.Stop(); }, "Stop");
    ExpectRowsAddUp(session.Snapshot());
    EXPECT_TRUE(session.Close(error)) << error;
  }
}

}  // namespace

namespace {

const ui::ChannelRow* ChannelRow(const ui::MeasurementSnapshot& s, int channel) {
  for (const ui::ChannelRow& r : s.rows)
    if (r.channel == channel) return &r;
  return nullptr;
}

// File > Open log...: the log plays on a channel of its own and its DBC file decodes every
// signal; the settings say so, so that a new session finds it all again.
TEST_F(DefaultSession, AnOpenedLogPlaysOnAChannelOfItsOwnDecodedWithItsDbc) {
  const auto data = testing_support::SourceDir() / "tests/data";
  const std::string log = (data / "sink_e2e.log").string();
  const std::string dbc = (data / "sink_e2e.dbc").string();
  std::string message;
  testing_support::WriteFile(m_dir / "not.log", "hello\n");
  EXPECT_FALSE(m_session->OpenLog((m_dir / "not.log").string(), "", message));
  EXPECT_NE(message.find("no CAN frame"), std::string::npos) << message;

  ASSERT_TRUE(m_session->OpenLog(log, dbc, message)) << message;
  // Channels 0-3 are the default's: the log gets 4; the demo's sources are switched off.
  EXPECT_NE(message.find("on channel 4"), std::string::npos) << message;
  EXPECT_NE(message.find("switched off: CAN 0, CAN 1, CAN 2"), std::string::npos) << message;
  const std::string conf = testing_support::ReadFile(m_dir / "settings" / "candriver.conf");
  EXPECT_NE(conf.find("channel 4 replay file=" + log + "\n"), std::string::npos) << conf;
  const ui::MeasurementSnapshot opened = m_session->Snapshot();  // the row points into it
  const ui::ChannelRow* row = ChannelRow(opened, 4);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->source, "sink_e2e.log");

  std::string error;
  ASSERT_TRUE(m_session->Start(error)) << error;
  std::string refused;
  EXPECT_FALSE(m_session->OpenLog(log, dbc, refused));
  EXPECT_EQ(refused, "stop the measurement first");
  // Every signal of the DBC file is shown, none assigned in the parameter database.
  const bool decoded = testing_support::WaitFor([&] {
    const ui::SignalRow* speed = Row(*m_session->Signals(), "WheelSpeed");
    return speed != nullptr && speed->hasValue;
  });
  WithinBound([&] { m_session->Stop(); }, "Stop");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(Row(*m_session->Signals(), "WheelSpeed")->series.unit, "km/h");
  EXPECT_GT(ChannelRow(m_session->Snapshot(), 4)->delivered, 0u);
  ExpectRowsAddUp(m_session->Snapshot());

  // The same log again takes the same channel.
  ASSERT_TRUE(m_session->OpenLog(log, dbc, message)) << message;
  EXPECT_NE(message.find("on channel 4"), std::string::npos) << message;
  EXPECT_EQ(testing_support::ReadFile(m_dir / "settings" / "candriver.conf"), conf);
  EXPECT_TRUE(m_session->Close(error)) << error;
  m_session.reset();

  // A new session reads it all from the settings.
  CSeaBase::ReloadAll();
  XeCanDriverKvaser::ReloadConfiguration();
  m_session = std::make_unique<app::UiSession>(0.001, 100);
  ASSERT_TRUE(m_session->Create("", error)) << error;
  int active = 0;
  for (const ui::ChannelRow& r : m_session->Snapshot().rows)
    active += r.channel == 4;
  EXPECT_EQ(active, 1);
  ASSERT_TRUE(m_session->Start(error)) << error;
  EXPECT_TRUE(testing_support::WaitFor([&] {
    const ui::SignalRow* speed = Row(*m_session->Signals(), "WheelSpeed");
    return speed != nullptr && speed->hasValue;
  }));
  WithinBound([&] { m_session->Stop(); }, "Stop");
}

}  // namespace
