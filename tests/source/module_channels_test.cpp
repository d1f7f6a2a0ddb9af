#include <gtest/gtest.h>

#include "frame/ParameterCodec.h"
#include "host/module/HostConstants.h"
#include "host/slowsampling/CSourceInfo.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

using Channels = ModuleRig;

// Channel clocks far apart: a message is placed right only when its source's own capsule, known to
// the time machine, converts its time. Removing a source in the middle must keep every other
// source with its own capsule and stop the removed channel's messages.
class ChannelsApart : public ModuleRig {
 protected:
  ChannelsApart()
      : ModuleRig(
            "channel 0 virtual offset=24000\nchannel 1 virtual offset=-40000\n"
            "channel 2 virtual offset=80000\nchannel 3 virtual\n") {}
};

TEST_F(ChannelsApart, RemovingASourceKeepsTheOthersAlignedAndStopsItsChannel) {
  Attach();
  CCanSource* a = Add(0, true, L"a");
  CCanSource* b = Add(1, true, L"b");
  CCanSource* c = Add(2, true, L"c");
  ASSERT_TRUE(a && b && c);
  m_module.remove_source(b);
  // A source that is not the module's is ignored.
  m_module.remove_source(nullptr);
  EXPECT_EQ(m_module.sources(), (std::vector<CCanSource*>{a, c}));
  const auto rows = m_module.statistics();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].channel, 0);
  EXPECT_EQ(rows[1].channel, 2);

  ASSERT_TRUE(m_module.set_delay(0));  // reaches the first channel item, now a's capsule
  CanIo sender = Sender(3);
  Start();
  for (int frame = 0; frame < 3; ++frame) {
    const auto placed =
        Frame(SendAt(sender, 80, Message(0x123, {static_cast<std::uint8_t>(frame)})));
    ASSERT_EQ(placed.size(), 2u) << "frame " << frame;
    for (const Placed& p : placed) {
      EXPECT_EQ(p.sample, 10) << "channel " << p.channel;
      EXPECT_NE(p.channel, 1);
      EXPECT_EQ(p.data0, frame);
    }
  }
}

// The registry may give a removed source's id to the next source, which then takes the old one's
// place in the module: on its own channel, with its own clock.
TEST_F(ChannelsApart, ASourceUnderAReusedIdIsAlignedOnItsOwnChannel) {
  Attach();
  CCanSource* a = Add(0, true, L"a");
  ASSERT_NE(a, nullptr);
  ReuseIdAtNextSignin(a->id());
  CCanSource* b = Add(1, true, L"b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(m_module.sources(), (std::vector<CCanSource*>{b}));

  ASSERT_TRUE(m_module.set_delay(0));
  CanIo sender = Sender(3);
  Start();
  for (int frame = 0; frame < 3; ++frame) {
    const auto placed =
        Frame(SendAt(sender, 80, Message(0x123, {static_cast<std::uint8_t>(frame)})));
    ASSERT_EQ(placed.size(), 1u) << "frame " << frame;
    EXPECT_EQ(placed[0].channel, 1);
    EXPECT_EQ(placed[0].sample, 10) << "frame " << frame;
    EXPECT_EQ(placed[0].data0, frame);
  }
  const auto rows = m_module.statistics();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].channel, 1);
  EXPECT_EQ(rows[0].delivered, 3u);
}

TEST_F(Channels, SignInReplacementAndRefusal) {
  Attach();
  CCanSource* first = Add(0, true, L"first");
  ReuseIdAtNextSignin(first->id());
  CCanSource* second = Add(1, false, L"second");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(m_module.sources().size(), 1u);
  EXPECT_EQ(m_module.sources().front(), second);
  const auto rows = m_module.statistics();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].channel, 1);
  EXPECT_FALSE(rows[0].active);
  EXPECT_FALSE(second->active());

  RefuseNextSignin();
  EXPECT_EQ(Add(2), nullptr);
  EXPECT_EQ(m_log.count(L"CCanSourceModule::create(): Couldn't register\n"), 1u);
  EXPECT_EQ(
      m_module.create(7, L"odd", 3, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M, true),
      nullptr);
  EXPECT_EQ(m_log.count(L"CCanSourceModule::create(): Couldn't register\n"), 2u);
  EXPECT_EQ(m_module.sources().size(), 1u);
}

TEST_F(Channels, DestroyedModuleReleasesAndDestroysItsSources) {
  int ids[2] = {};
  {
    CCanSourceModule module;
    module.Create(L"CAN3", nullptr);
    for (int channel = 0; channel < 2; ++channel)
      ids[channel] = module
                         .create(0, L"owned", channel, false, BITRATE_500K, FD_ARBITRATION_500K,
                                 FD_DATA_1M, true)
                         ->id();
    ASSERT_NE(SlowSampling::CSourceInfo::SourceInfo().find(ids[1]), nullptr);
  }
  // Gone from the registry; a leaked source (and its reception thread) fails the asan run.
  for (const int id : ids)
    EXPECT_EQ(SlowSampling::CSourceInfo::SourceInfo().find(id), nullptr);
}

TEST_F(Channels, CreatingOnAnOpenChannelReopensItWithTheNewRates) {
  Attach();
  Add(0);
  CanIo sender = Sender(3);
  Start();
  RefuseNextSignin();
  EXPECT_EQ(Add(0), nullptr);
  // Closed for the new rates and opened again although refused: the source still receives.
  const auto placed = Frame(SendAt(sender, 80, Message(0x123, {1})));
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].channel, 0);
  EXPECT_EQ(placed[0].sample, 10);
}

TEST_F(Channels, DataRateAndSamplingFigures) {
  Attach();
  Add(0, true);
  Add(1, false);
  EXPECT_EQ(m_module.bytes_per_second(), 62500u);
  m_module.signal_change(0.001F, 100, 0);
  for (auto* s : Sources())
    EXPECT_EQ(s->floats_per_sample(), 16u);
  EXPECT_EQ(m_module.active_sources(), 1u);
  CCanSource* fd = m_module.create(0, L"fd", 2, true, BITRATE_500K, FD_ARBITRATION_1M,
                                   static_cast<fd_datarate_t>(5000000), true);
  ASSERT_NE(fd, nullptr);
  EXPECT_EQ(m_module.bytes_per_second(), 62500u + 625000u);
  m_module.signal_change(0.001F, 100, 5);
  for (auto* s : Sources())
    EXPECT_EQ(s->floats_per_sample(), 5u);
}

TEST_F(Channels, WavPlaybackMakesStartAndStopNoOps) {
  Attach();
  CCanSource* s = Add(0);
  CResourceEntry* entry = nullptr;
  CSeaBase::MessagesSea()->LookupEntry(entry, 2, wpWavPlaybackRunning, 0);
  can::WriteEntryValue(*entry, true, 0);
  m_module.signal_change(0.001F, 100, 0);
  s->set_log_level(1);
  EXPECT_TRUE(m_module.start());
  EXPECT_EQ(m_log.count_containing(L"on bus"), 0u);
  can::WriteEntryValue(*entry, false, 0);
  EXPECT_TRUE(m_module.start());
  EXPECT_EQ(m_log.count(L"CCanSource::start(): on bus 0\n"), 1u);
  m_module.set_log_level(1);
  EXPECT_TRUE(m_module.stop());
  EXPECT_EQ(m_log.count(L"CCanSourceModule::stop(): 0 messages sent\n"), 1u);
}

TEST_F(Channels, HostCommandsSwitchSourcesAndLockOutSettingsChanges) {
  Attach();
  Add(0);
  auto* source = dynamic_cast<CCanStandardSource*>(Sources()[0]);
  ASSERT_NE(source, nullptr);
  CCommandDispatcher::Host().Dispatch(mcStartAudioSources);
  EXPECT_TRUE(source->running());
  EXPECT_TRUE(m_module.running());
  EXPECT_FALSE(m_module.set_delay(7));
  EXPECT_EQ(m_module.delay(), 0);
  EXPECT_FALSE(source->replace_ranges({{0, kMaxCanId, false}}));
  CCommandDispatcher::Host().Dispatch(mcStopAudioSources);
  EXPECT_FALSE(source->running());
  EXPECT_TRUE(m_module.set_delay(7));
  EXPECT_EQ(m_module.delay(), 7);
  EXPECT_TRUE(source->replace_ranges({{0, kMaxCanId, false}}));
}

TEST_F(Channels, StartRegistersTheResynchronisationAndStopRemovesIt) {
  Attach();
  Add(0);
  Start();
  const std::size_t idle = CCentralMessageService::Pump();
  m_clock.advance_ms(1000);
  EXPECT_EQ(CCentralMessageService::Pump(), idle + 1);  // the regular callback ran
  ASSERT_TRUE(m_driver.stop());
  m_clock.advance_ms(1000);
  EXPECT_EQ(CCentralMessageService::Pump(), idle);
}

}  // namespace
}  // namespace plugin_test
