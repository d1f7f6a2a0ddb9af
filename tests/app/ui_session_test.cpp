// The session of canhost ui without a window: a real-time measurement of the default settings on
// its processing thread, and a reader on this thread that takes the signal snapshots meanwhile.
#include "app/UiSession.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/SettingsSeed.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace {

const ui::SignalRow* Row(const ui::SignalSnapshot& snapshot, const std::string& name) {
  const auto it = std::find_if(snapshot.rows.begin(), snapshot.rows.end(),
                               [&](const ui::SignalRow& r) { return r.series.name == name; });
  return it == snapshot.rows.end() ? nullptr : &*it;
}

TEST(UiSession, PublishesTheDecodedSignalsWhileTheMeasurementRuns) {
  testing_support::TempDir dir;
  host::SetSettingsFolder(dir / "settings");
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(host::SettingsFolder(), error),
            app::SettingsSeed::Result::Seeded)
      << error;
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

}  // namespace
