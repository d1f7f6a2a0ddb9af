#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/services/Host.h"
#include "host/services/HostClock.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/slowsampling/CSlowSourceContainer.h"
#include "host/slowsampling/CSourceDriver.h"
#include "host/slowsampling/CSourceInfo.h"
#include "host/timemachine/CQorSyncInterface.h"
#include "host/timemachine/CTimeMachine.h"

namespace {

using SlowSampling::CAsyncSource;
using SlowSampling::CSourceInfo;

TEST(SourceInfo, SigninGivesEverySourceANewIdAndReleaseForgetsIt) {
  CSourceInfo& info = CSourceInfo::SourceInfo();
  CAsyncSource a(nullptr, L"a"), b(nullptr, L"b");
  EXPECT_EQ(a.id(), 0);
  ASSERT_EQ(info.signin(&a), &a);
  ASSERT_EQ(info.signin(&b), &b);
  EXPECT_EQ(b.id(), a.id() + 1);
  EXPECT_EQ(info.signin(&a), &a);  // again: same id
  EXPECT_EQ(b.id(), a.id() + 1);
  EXPECT_EQ(info.signin(nullptr), nullptr);

  const int idA = a.id();
  CSourceInfo::release(&a);
  EXPECT_EQ(info.find(idA), nullptr);
  EXPECT_EQ(a.id(), idA);  // kept after release
  info.signin(&a);         // signed in again: a new id, the old one is never given again
  EXPECT_GT(a.id(), b.id());
  EXPECT_EQ(info.sources().back(), &a);  // id order
  {
    CAsyncSource temporary(nullptr, L"t");
    info.signin(&temporary);
  }
  EXPECT_EQ(info.sources().back(), &a);  // the destroyed source released itself
}

TEST(SourceInfo, TheHostsChooserRefusesOrRepeatsIdsAndTheRegistryDisposesOfLeftovers) {
  std::vector<int> answers{0, -1, 1, 1, 7};  // the chooser's answers, in order
  std::vector<int> lastIds;
  ASSERT_TRUE(host::CurrentHost().Put(std::make_unique<CSourceInfo>([&](int lastId) {
    lastIds.push_back(lastId);
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  })));
  CSourceInfo& info = CSourceInfo::SourceInfo();
  CAsyncSource first(nullptr, L"first"), second(nullptr, L"second"), third(nullptr, L"third");
  EXPECT_EQ(info.signin(&first), nullptr);
  EXPECT_EQ(info.signin(&first), nullptr);
  EXPECT_EQ(first.id(), 0);
  ASSERT_EQ(info.signin(&first), &first);
  ASSERT_EQ(info.signin(&second), &second);
  EXPECT_EQ(second.id(), first.id());
  CSourceInfo::release(&first);  // no longer the source under that id: no effect
  EXPECT_EQ(info.find(first.id()), &second);
  ASSERT_EQ(info.signin(&third), &third);
  EXPECT_EQ(third.id(), 7);
  EXPECT_EQ(lastIds, (std::vector<int>{0, 0, 0, 1, 1}));
}

TEST(SourceInfo, EachHostHasARegistryOfItsOwn) {
  CAsyncSource kept(nullptr, L"kept");
  ASSERT_EQ(CSourceInfo::SourceInfo().signin(&kept), &kept);
  {
    host::ScopedHost other;
    EXPECT_EQ(CSourceInfo::SourceInfo().find(kept.id()), nullptr);
    CAsyncSource elsewhere(nullptr, L"elsewhere");
    ASSERT_EQ(CSourceInfo::SourceInfo().signin(&elsewhere), &elsewhere);
    EXPECT_EQ(elsewhere.id(), kept.id());  // each host counts from 1
  }
  EXPECT_EQ(CSourceInfo::SourceInfo().find(kept.id()), &kept);
}

// A source plug-in that aligns one channel the way a CAN source plug-in does and records, per
// frame, the frame capsule's time and the mapped time of the channel event of that frame.
class CAlignedPlugin : public CSlowAsyncSourcePlugin {
 public:
  explicit CAlignedPlugin(std::uint32_t bytesPerSecond) : m_bytesPerSecond(bytesPerSecond) {}
  void create(CSlowSourceContainer* container) override {
    m_machine.add_item(m_sync.usb_time_capsule(), true);
    m_sync.frame_time_capsule()->m_resetCallback = [this] { m_machine.sync_request(); };
    m_machine.add_item(m_sync.frame_time_capsule(), false);
    m_channel.m_rawTime = [] { return (host::UsbTicks() + 40'000) & 0xFFFFFF; };  // 5 s ahead
    m_machine.add_item(&m_channel, false);
    CSlowAsyncSourcePlugin::create(container);
  }
  std::uint32_t bytes_per_second() override { return m_bytesPerSecond; }
  bool start() override {
    m_syncOn = m_sync.enable_sync(m_wantSync);
    m_sync.usb_time_capsule()->update();
    m_channel.reset();
    m_channel.m_base = m_sync.usb_time_capsule()->time();
    m_channel.m_weight = 0.1;
    if (!m_syncOn) m_sync.frame_time_capsule()->reset();
    return m_startResult;
  }
  bool update() override {
    m_machine.poll();
    m_machine.capsule_set();
    CTimeCapsule* frame = m_machine.get(1);
    m_frameTimes.push_back(frame->time());
    m_eventTimes.push_back(m_channel.stamp_time(m_nextStamp));
    container()->data()[data_offset()] = 1.0F;
    if (!m_syncOn) frame->raw_update(frame->m_last + 800);
    return true;
  }

  std::uint32_t m_bytesPerSecond;
  bool m_wantSync = true;
  bool m_syncOn = false;
  bool m_startResult = true;
  std::int64_t m_nextStamp = 0;  // raw channel stamp of the event of the next frame
  std::vector<std::int64_t> m_frameTimes, m_eventTimes;
  CQorSyncInterface m_sync;
  XeTimeMachine::CTimeMachine m_machine{0.000125};
  CTimeCapsule m_channel{24};
};

TEST(SourceDriver, LaysOutRegionsByDataRateAndRunsThePluginsFrameByFrame) {
  host::ScopedManualClock clock(1'000'000'000);
  EXPECT_EQ(SlowSampling::CSourceDriver::FloatsPerSample(62500, 0.001F), 16u);
  EXPECT_EQ(SlowSampling::CSourceDriver::FloatsPerSample(1, 0.001F), 1u);
  SlowSampling::CSourceDriver driver;
  CAlignedPlugin first(62500), second(4000);
  driver.attach(&first);
  driver.attach(&second);
  driver.attach(&first);  // once only
  EXPECT_EQ(first.container(), &driver.container());
  EXPECT_FALSE(driver.configure(0.0F, 100));
  ASSERT_TRUE(driver.configure(0.001F, 100));
  // Not 800.00004 (0.001F): the frame time line must keep to the host clock over days.
  EXPECT_NEAR(driver.ticks_per_frame(), 800.0, 1e-9);
  EXPECT_EQ(second.data_offset(), 1600);
  EXPECT_EQ(driver.container().size(), 1700u);
  EXPECT_EQ(driver.region(&second).data(), driver.container().data() + 1600);
  EXPECT_TRUE(driver.container().region(1601, 100).empty());

  second.m_startResult = false;
  EXPECT_FALSE(driver.start());  // every plug-in is started all the same
  ASSERT_TRUE(driver.run_frame());
  EXPECT_EQ(driver.region(&second)[0], 1.0F);
  driver.container().data()[1] = 5.0F;
  driver.run_frame();  // the container is zeroed before the plug-ins write
  EXPECT_EQ(driver.container().data()[1], 0.0F);
  EXPECT_EQ(driver.frames(), 2u);
  EXPECT_TRUE(driver.stop());
}

TEST(SourceDriver, FrameCapsuleHoldsTheStartOfTheFrameBeingFilledWithSyncOnOrOff) {
  for (const bool syncOn : {true, false}) {
    host::ScopedHost fresh;  // the frame capsule as the host starts it
    host::ScopedManualClock clock(2'000'000'000);
    SlowSampling::CSourceDriver driver;
    CAlignedPlugin plugin(4000);
    plugin.m_wantSync = syncOn;
    driver.attach(&plugin);
    ASSERT_TRUE(driver.configure(0.001F, 100));  // frames of 100 ms = 800 ticks
    driver.start();
    const std::int64_t start = host::UsbTicks();
    constexpr std::int64_t kTicksPerFrame = 800;
    for (int k = 0; k < 30; ++k) {
      // An event 37.5 ms into frame k, seen by the channel clock (5 s ahead of the host).
      plugin.m_nextStamp = (start + k * kTicksPerFrame + 300 + 40'000) & 0xFFFFFF;
      clock.advance_ms(100);
      if (k % 10 == 0) plugin.m_machine.sync_request();
      driver.run_frame();
    }
    for (int k = 0; k < 30; ++k) {
      EXPECT_EQ(plugin.m_frameTimes[k], start + k * kTicksPerFrame)
          << "frame " << k << " sync " << syncOn;
      EXPECT_EQ(plugin.m_eventTimes[k], start + k * kTicksPerFrame + 300) << "frame " << k;
    }
  }
}

}  // namespace
