// The host's side of sinks: value lists and their output signals, the sink base's per-source
// states, and the frame driver handing each frame's data to the sinks.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "host/paramdb/CPqParamInstance.h"
#include "host/paramdb/SessionSignals.h"
#include "host/services/HostClock.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/slowsampling/CSourceDriver.h"
#include "host/slowsampling/CSourceInfo.h"
#include "host/timemachine/CQorSyncInterface.h"
#include "host/valuelists/CDzPulsListe.h"
#include "host/valuelists/CFueGroeHopListe.h"

namespace {

using Entries = std::vector<std::pair<std::uint32_t, float>>;

Entries EntriesOf(const CFueGroeListeBasis& list) {
  Entries out;
  for (const auto& e : list.entries())
    out.emplace_back(e.length, e.value);
  return out;
}

TEST(ValueLists, HopListsCloseAtTheBlockLengthAndHoldEachValueFromItsFrame) {
  CFueGroeHopListe hops(3);
  hops.append(2, 10.0F);
  hops.append(3, 20.0F);
  hops.ListeAbschliessen(8);
  EXPECT_EQ(EntriesOf(hops), (Entries{{2, 10.0F}, {3, 20.0F}, {3, 20.0F}}));
  hops.ListeAbschliessen(4);  // too long: cut
  EXPECT_EQ(EntriesOf(hops), (Entries{{2, 10.0F}, {2, 20.0F}}));
  EXPECT_EQ(hops.total_length(), 4u);

  std::vector<double> out(6);
  EXPECT_EQ(hops.ToSamples(out, -1.0, 100.0F), 20.0);
  EXPECT_EQ(out, (std::vector<double>{-1.0, -1.0, 10.0, 10.0, 20.0, 20.0}));
  hops.clear();
  EXPECT_TRUE(hops.empty());
  hops.ListeAbschliessen(5);  // an empty list stays empty
  EXPECT_TRUE(hops.empty());
}

TEST(ValueLists, PulseListsGiveRatesPerMinuteAndTheirAverage) {
  CDzPulsListe pulses(1);
  // At 100 frames per second a period of 10 frames is 600 per minute, 5 frames 1200.
  pulses.append(4, 10.0F);
  pulses.append(2, 5.0F);
  pulses.CompletePulsList(4);
  EXPECT_EQ(EntriesOf(pulses), (Entries{{4, 10.0F}, {2, 5.0F}, {4, 5.0F}}));
  pulses.CompletePulsList(0);
  EXPECT_EQ(pulses.entries().size(), 3u);
  pulses.CalcAverPulsF(100.0F);
  EXPECT_DOUBLE_EQ(pulses.average_rate(), (4 * 600.0 + 6 * 1200.0) / 10.0);
  std::vector<double> out(10);
  pulses.ToSamples(out, 0.0, 100.0F);
  EXPECT_EQ(out[3], 0.0);
  EXPECT_EQ(out[4], 600.0);
  EXPECT_EQ(out[9], 1200.0);
  // A rate of 0 is stored as the largest float and comes back as 0.
  EXPECT_EQ(pulses.output_value(std::numeric_limits<float>::max(), 100.0F), 0.0);
  CDzPulsListe empty(1);
  empty.CompletePulsList(5);
  empty.CalcAverPulsF(100.0F);
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.average_rate(), 0.0);
}

TEST(SessionSignals, NamesKeepTheirNumberAndTheDatabaseKnowsThem) {
  auto& table = SessionSignals::Instance();
  const int wheel = table.Number(L"SessionTestWheel", L"km/h");
  EXPECT_GE(wheel, SessionSignals::kFirst);
  EXPECT_EQ(table.Number(L"SessionTestWheel", L"rpm"), wheel);
  EXPECT_NE(table.Number(L"SessionTestGear", L""), wheel);
  CPqParamInstance db(nullptr);
  EXPECT_EQ(db.ApplicationSignalName(wheel), CString(L"SessionTestWheel"));
  EXPECT_EQ(db.UnitText(wheel), CString(L"km/h"));
  EXPECT_FALSE(table.Name(5).has_value());
}

class ProbeSource : public SlowSampling::CAsyncSource {
 public:
  explicit ProbeSource(CSlowAsyncSourcePlugin* plugin) : CAsyncSource(plugin, L"probe") {
    SlowSampling::CSourceInfo::SourceInfo().signin(this);
  }
};

// Writes its frame number into the first float of its region.
class CountingPlugin : public CSlowAsyncSourcePlugin {
 public:
  std::uint32_t bytes_per_second() override { return 8000; }
  std::pair<int, int> data_format() override { return {8, 8}; }
  bool update() override {
    container()->data()[data_offset()] = static_cast<float>(++m_frames);
    return true;
  }
  int m_frames = 0;
};

// Offers two signals for every source.
class RecordingSink : public CSlowSinkPlugin {
 public:
  bool add_src(SlowSampling::CAsyncSource* source) override {
    if (!CSlowSinkPlugin::add_src(source)) return false;
    m_sourceTable[source->id()].signals = {{L"speed", 1}, {L"temperature", 3}};
    return true;
  }
};

TEST(SinkHost, StatesFollowTheOfferedSignalsWithTheListKindOfTheDatabase) {
  host::ScopedManualClock clock(7'000'000'000);
  CountingPlugin plugin;
  ProbeSource source(&plugin);
  RecordingSink sink;
  sink.add_src(&source);
  sink.update_container();
  const SinkSourceEntry* entry = sink.source_entry(source.id());
  ASSERT_EQ(entry->states.size(), 2u);
  // Engine speed is a rate per minute in the embedded database; coolant temperature is not.
  EXPECT_NE(dynamic_cast<CDzPulsListe*>(entry->states.at(1).list.get()), nullptr);
  EXPECT_NE(dynamic_cast<CFueGroeHopListe*>(entry->states.at(3).list.get()), nullptr);
  EXPECT_EQ(entry->states.at(1).lastTick, 7000u);

  struct Collect : SlowSampling::CClient {
    void add_signal(int id, const SlowSampling::CSignal& s) override { names.emplace_back(id, s); }
    std::vector<std::pair<int, SlowSampling::CSignal>> names;
  } client;
  sink.get_signals(client);
  ASSERT_EQ(client.names.size(), 2u);
  EXPECT_EQ(client.names[1].second.m_name, CString(L"temperature"));
}

}  // namespace
