#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "host/services/Host.h"
#include "host/services/HostClock.h"
#include "host/timemachine/CQorSyncInterface.h"
#include "host/timemachine/CTimeMachine.h"

namespace {

using XeTimeMachine::CTimeMachine;

constexpr std::int64_t kWrap24 = std::int64_t{1} << 24;
constexpr std::int64_t kTickNs = 125'000;

// A CAN controller's clock: 24-bit ticks of 125 µs, running `ppm` fast against the host clock and
// `offsetNs` ahead of it.
struct ChannelClock {
  std::int64_t ppm;
  std::int64_t offsetNs;
  std::int64_t ns_at(std::int64_t hostNs) const {
    return hostNs + hostNs / 1'000'000 * ppm + offsetNs;
  }
  std::int64_t raw_at(std::int64_t hostNs) const {
    return (ns_at(hostNs) / kTickNs) & (kWrap24 - 1);
  }
  std::int64_t raw() const { return raw_at(host::HostClock().now_ns()); }
};

// The module's view of a channel: a 24-bit capsule on a channel clock, reset at start.
void StartChannel(CTimeCapsule& capsule, const ChannelClock& clock, std::int64_t usbAtStart) {
  capsule.m_rawTime = [&clock] { return clock.raw(); };
  capsule.reset();
  capsule.m_base = usbAtStart;
  capsule.m_weight = 0.1;
}

// A time machine whose reference is the host's USB capsule, as the source module sets it up.
class TimeMachine : public ::testing::Test {
 protected:
  TimeMachine() { machine.add_item(usb, true); }
  host::ScopedManualClock clock{2'000'000'000};
  CQorSyncInterface sync;
  CTimeMachine machine{0.000125};
  CTimeCapsule* usb = sync.usb_time_capsule();
};

TEST(TimeCapsule, StampDistanceTakesTheNearerReadingAcrossTheWrap) {
  CTimeCapsule capsule(24);
  EXPECT_EQ(capsule.m_wrap, kWrap24);
  EXPECT_EQ(capsule.m_counterMask, kWrap24 - 1);
  capsule.m_last = kWrap24 - 216;
  EXPECT_EQ(capsule.delta(100), 316);  // after the wrap
  capsule.m_last = 100;
  EXPECT_EQ(capsule.delta(kWrap24 - 216), -316);  // before the wrap
  capsule.m_last = 500;
  EXPECT_EQ(capsule.delta(400 + 3 * kWrap24), -100);             // bits above the mask ignored
  EXPECT_EQ(capsule.delta(500 + kWrap24 / 2), kWrap24 / 2);      // half a wrap on: still later
  EXPECT_EQ(capsule.delta(501 + kWrap24 / 2), 1 - kWrap24 / 2);  // beyond: earlier
  capsule.m_base = 1000;
  capsule.m_counter = 500;
  capsule.m_offset = 20;
  capsule.m_delay = 8;
  EXPECT_EQ(capsule.stamp_time(400), 1412);  // base + counter + d + offset - delay
  CTimeCapsule coarse(16, 2), fine(16, -1);  // 4 ticks per count, 2 counts per tick
  coarse.m_last = fine.m_last = 10;
  EXPECT_EQ(coarse.delta(12), 8);
  EXPECT_EQ(fine.delta(4), -3);
}

TEST(TimeCapsule, RawUpdateCountsWrapsAndResetKeepsOnlyBaseWeightAndCallbacks) {
  CTimeCapsule capsule(24);
  int updates = 0, resets = 0;
  capsule.m_updateCallback = [&] { ++updates; };
  capsule.m_resetCallback = [&] { ++resets; };
  for (std::int64_t raw : {kWrap24 - 216, std::int64_t{100}, kWrap24 + 50, std::int64_t{70}}) {
    capsule.raw_update(raw);  // 100 and (masked) 50 each come after a wrap
  }
  EXPECT_EQ(capsule.m_counter, 2 * kWrap24 + 70);
  EXPECT_EQ(capsule.m_last, 70);
  EXPECT_EQ(updates, 4);
  CTimeCapsule follower(24);
  follower.m_master = &capsule;
  EXPECT_TRUE(follower.update());
  EXPECT_EQ(follower.m_counter, capsule.m_counter);
  EXPECT_FALSE(CTimeCapsule(24).update());  // neither clock nor master

  capsule.m_base = 77;
  capsule.m_offset = capsule.m_syncFraction = capsule.m_syncRate = capsule.m_delay = 5;
  capsule.m_weight = 0.1;
  capsule.reset();
  EXPECT_EQ(resets, 1);
  for (std::int64_t field : {capsule.m_counter, capsule.m_last, capsule.m_offset,
                             capsule.m_syncFraction, capsule.m_syncRate, capsule.m_delay}) {
    EXPECT_EQ(field, 0);
  }
  EXPECT_EQ(capsule.m_base, 77);
  EXPECT_EQ(capsule.m_weight, 0.1);
  EXPECT_TRUE(capsule.m_updateCallback);
}

TEST(TimeMachineItems, KeepTheirOrderThroughRemovalAndRebuild) {
  CTimeMachine machine(0.000125);
  CTimeCapsule usb(32), frame(32), a, b, c;
  for (CTimeCapsule* capsule : {&usb, &frame, &a, &b, &c})
    machine.add_item(capsule, capsule == &usb);
  // Remove the middle channel the way a plug-in rebuilds: drop items from the last down to 2, add
  // the remaining channels again.
  for (std::size_t i = machine.item_count(); i-- > 2;)
    EXPECT_TRUE(machine.remove_item(i));
  EXPECT_EQ(machine.add_item(&a, false), 2u);
  EXPECT_EQ(machine.add_item(&c, false), 3u);
  ASSERT_EQ(machine.item_count(), 4u);
  const CTimeCapsule* expected[] = {&usb, &frame, &a, &c};
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(machine.get(i), expected[i]);
  EXPECT_TRUE(machine.is_reference(0));
  EXPECT_FALSE(machine.is_reference(1));
  EXPECT_TRUE(machine.remove_item(1));
  EXPECT_EQ(machine.get(1), &a);
  EXPECT_FALSE(machine.remove_item(3));
  EXPECT_EQ(machine.get(3), nullptr);
}

TEST_F(TimeMachine, CapsuleSetAlignsFreshChannelsAtOnceAndSyncsOnlyWhenAsked) {
  ChannelClock fast{500, 7'300'000'000};
  CTimeCapsule channel(24);
  machine.add_item(&channel, false);
  usb->update();
  StartChannel(channel, fast, usb->time());
  channel.m_delay = 3;

  machine.poll();
  machine.capsule_set();  // fresh capsule: aligned without a request; the delay stays a shift
  EXPECT_TRUE(channel.synced());
  EXPECT_EQ(channel.time(), usb->time() - 3);

  // 500 ppm fast: after 10 s the channel is 40 ticks ahead. Without a request only the (still
  // unknown, zero) drift rate applies.
  clock.advance_ms(10'000);
  machine.poll();
  machine.capsule_set();
  EXPECT_EQ(channel.time() + 3 - usb->time(), 40);

  // A request from another thread changes nothing until the next capsule_set.
  std::thread ui([&] { machine.sync_request(); });
  ui.join();
  EXPECT_EQ(channel.time() + 3 - usb->time(), 40);
  machine.poll();
  machine.capsule_set();  // second sync since alignment: the mean of two, half the error
  EXPECT_EQ(channel.time() + 3 - usb->time(), 20);
  EXPECT_LT(channel.m_syncRate >> 1, 0);  // the channel runs fast: the correction shrinks

  // A reading of -1 (channel off bus) leaves the capsule alone; a clock that jumps by more than a
  // second is aligned afresh at the next sync.
  const std::int64_t counter = channel.m_counter;
  channel.m_rawTime = [] { return std::int64_t{-1}; };
  machine.poll();
  EXPECT_EQ(channel.m_counter, counter);
  ChannelClock jumped{500, 3'000'000'000};
  channel.m_rawTime = [&jumped] { return jumped.raw(); };
  machine.sync_request();
  machine.poll();
  machine.capsule_set();
  EXPECT_EQ(channel.time() + 3, usb->time());
}

// A busy machine preempts the processing thread between the reference reading and a channel's:
// the channel's reading then stands for a later moment than the reference. Such a pair is taken
// again, so the sync measures no error that is not there; a clock that is never read steadily
// is not re-synchronised from that poll.
TEST_F(TimeMachine, PreemptionBetweenReadingsDoesNotShiftTheChannel) {
  const ChannelClock exact{0, 1'000'000'000};
  CTimeCapsule channel(24);
  machine.add_item(&channel, false);
  usb->update();
  StartChannel(channel, exact, usb->time());
  machine.poll();
  machine.capsule_set();
  ASSERT_EQ(channel.time(), usb->time());

  // The next `stalls` readings of the channel each come 50 ms (400 ticks) late.
  int stalls = 0;
  channel.m_rawTime = [&] {
    if (stalls > 0) {
      --stalls;
      clock.advance_ns(50'000'000);
    }
    return exact.raw();
  };
  for (int second = 0; second < 5; ++second) {
    clock.advance_ms(1000);
    stalls = 1;
    machine.sync_request();
    machine.poll();
    machine.capsule_set();
    usb->update();
    EXPECT_EQ(channel.time(), usb->time()) << "second " << second;
  }
  // Never steady: the sync is skipped rather than taken from a reading 50 ms off.
  const std::int64_t offset = channel.m_offset;
  stalls = CTimeMachine::kSteadyAttempts;
  machine.sync_request();
  machine.poll();
  machine.capsule_set();
  EXPECT_EQ(channel.m_offset, offset);
}

TEST_F(TimeMachine, TwoDriftingChannelsStayAlignedOverTenMinutes) {
  clock.clock().set_ns(3'000'000'000);
  machine.add_item(sync.frame_time_capsule(), false);
  // A: 5.3 s ahead, 100 ppm fast. B: 3.3 s behind (modulo the 24-bit wrap, which it passes 0.3 s
  // into the run), 100 ppm slow.
  const ChannelClock clockA{100, 5'300'000'000};
  const ChannelClock clockB{-100, kWrap24 * kTickNs - 3'300'000'017};
  CTimeCapsule a(24), b(24);
  machine.add_item(&a, false);
  machine.add_item(&b, false);
  usb->update();
  StartChannel(a, clockA, usb->time());
  StartChannel(b, clockB, usb->time());

  // Frames of 100 ms with a jitter of a tick (a frame never ends exactly on a tick), a sync request
  // every second, four events per frame seen by both channels at one host instant.
  constexpr int kFramesPerSecond = 10;
  constexpr int kSettleFrames = 30 * kFramesPerSecond;
  std::int64_t worstDiff = 0;
  int settledDiffsOverOne = 0, settledEvents = 0;
  double worstAlignment = 0.0, worstSettledAlignment = 0.0;
  std::uint32_t lcg = 12345;
  auto random = [&lcg](std::uint32_t range) {
    lcg = lcg * 1664525U + 1013904223U;
    return static_cast<std::int64_t>((lcg >> 8) % range);
  };
  for (int frameIndex = 0; frameIndex < 600 * kFramesPerSecond; ++frameIndex) {
    const std::int64_t frameStart = clock.clock().now_ns();
    clock.advance_ns(100'000'000 - kTickNs / 2 + random(kTickNs));
    if (frameIndex % kFramesPerSecond == 0) machine.sync_request();  // the regular callback
    machine.poll();
    machine.capsule_set();
    const std::int64_t frameNs = clock.clock().now_ns() - frameStart;
    for (int e = 0; e < 4; ++e) {
      const std::int64_t at = frameStart + random(static_cast<std::uint32_t>(frameNs));
      const std::int64_t ta = a.stamp_time(clockA.raw_at(at));
      const std::int64_t tb = b.stamp_time(clockB.raw_at(at));
      // The alignment itself, free of the whole-tick rounding of stamps and offsets.
      const double truth = static_cast<double>(at) / kTickNs;
      auto error = [&](std::int64_t t, const ChannelClock& c, const CTimeCapsule& capsule) {
        const double tickPart = static_cast<double>(c.ns_at(at) % kTickNs) / kTickNs;
        return std::abs(static_cast<double>(t) + tickPart +
                        static_cast<double>(capsule.m_syncFraction) / 4294967296.0 - truth);
      };
      const double alignment = std::max(error(ta, clockA, a), error(tb, clockB, b));
      worstAlignment = std::max(worstAlignment, alignment);
      worstDiff = std::max(worstDiff, std::abs(ta - tb));
      if (frameIndex >= kSettleFrames) {
        worstSettledAlignment = std::max(worstSettledAlignment, alignment);
        settledDiffsOverOne += std::abs(ta - tb) > 1 ? 1 : 0;
        ++settledEvents;
      }
    }
  }
  // Stamps and offsets are whole ticks, so one instant's mapped times on two channels can differ
  // by up to two ticks whatever the alignment: each channel's stamp rounding (up to a tick) and
  // offset rounding (half a tick) add up. The alignment itself stays within half a tick once the
  // drift rates are known (about 30 s), so more than a tick apart is rare.
  RecordProperty("worst_diff_ticks", static_cast<int>(worstDiff));
  RecordProperty("settled_diffs_over_one", settledDiffsOverOne);
  RecordProperty("settled_events", settledEvents);
  RecordProperty("worst_alignment_millitick", static_cast<int>(worstAlignment * 1000));
  RecordProperty("worst_settled_alignment_millitick",
                 static_cast<int>(worstSettledAlignment * 1000));
  EXPECT_LE(worstDiff, 2);
  EXPECT_LT(worstAlignment, 2.0);
  EXPECT_LT(worstSettledAlignment, 0.5);
  EXPECT_LT(settledDiffsOverOne * 100, settledEvents);  // under 1 %
  EXPECT_NEAR(static_cast<double>(a.m_syncRate >> 1) / 0x1p40, -100e-6, 1e-6);
  EXPECT_NEAR(static_cast<double>(b.m_syncRate >> 1) / 0x1p40, 100e-6, 1e-6);
}

TEST(QorSyncInterface, HostAdvancesTheFrameCapsuleOnlyWhileSyncIsOn) {
  host::ScopedManualClock clock(5'000'000'000);
  CQorSyncInterface sync;
  EXPECT_TRUE(sync.usb_time_capsule()->update());
  EXPECT_EQ(sync.usb_time_capsule()->time(), 40'000);
  CTimeCapsule* frame = sync.frame_time_capsule();
  int resets = 0;
  frame->m_resetCallback = [&] { ++resets; };
  CQorSyncInterface::start_frames();
  EXPECT_EQ(resets, 1);
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(CQorSyncInterface::advance_frame(800.25));
  EXPECT_EQ(frame->time(), 40'000 + 3201);  // four quarters make one more tick
  EXPECT_FALSE(sync.enable_sync(false));
  EXPECT_FALSE(CQorSyncInterface::advance_frame(800.0));  // the plug-in advances it now
  EXPECT_EQ(frame->time(), 40'000 + 3201);
  CQorSyncInterface::set_sync_available(false);
  EXPECT_FALSE(sync.enable_sync(true));
  {
    host::ScopedHost other;  // capsules and switch of its own: sync available and on
    CQorSyncInterface fresh;
    EXPECT_TRUE(CQorSyncInterface::sync_enabled());
    EXPECT_TRUE(fresh.enable_sync(true));
    EXPECT_NE(fresh.frame_time_capsule(), frame);
    EXPECT_FALSE(fresh.frame_time_capsule()->m_resetCallback);
  }
  EXPECT_FALSE(sync.enable_sync(true));
  EXPECT_TRUE(frame->m_resetCallback);
}

}  // namespace
