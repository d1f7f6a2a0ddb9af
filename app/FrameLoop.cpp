#include "app/FrameLoop.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "host/candriver/CanDriver.h"
#include "host/candriver/ClockWaiter.h"
#include "host/obd/AnalysisTimer.h"
#include "host/services/CCentralMessageService.h"

namespace app {
namespace {

// A replay that has not ended this long after its log's length will not end: its channel's
// source is not receiving.
constexpr double kReplayOverdueSeconds = 3.0;

}  // namespace

FrameLoop::FrameLoop(CanSourceHost& host, const Plan& plan, const host::StopToken& stop)
    : m_host(host), m_plan(plan), m_stop(stop) {}

FrameLoop::End FrameLoop::Run(const FrameDone& frameDone, std::string& error) {
  host::Clock& clock = host::HostClock();
  const std::int64_t start = clock.now_ns();
  const double frameNs = m_plan.frameSeconds * 1e9;
  // The loop alone moves the --fast clock: the actions due at its stops run here, not on threads
  // of their own that each stop would wake and wait for.
  std::optional<XeCanAnalysis::ScopedInlineActions> inlineActions;
  std::optional<XeCanDriverKvaser::ScopedInlineDelivery> inlineDelivery;
  if (m_plan.fastClock != nullptr) {
    inlineActions.emplace();
    inlineDelivery.emplace();
  }
  for (std::uint64_t frame = 0;; ++frame) {
    if (m_stop.requested()) return End::Interrupted;
    if (Finished(frame)) return End::Done;
    if (m_plan.fastClock != nullptr) frame = SkipSilentFrames(start, frame);
    // Frame ends are computed from the start, so that rounding does not add up over a long run.
    const std::int64_t end = start + std::llround(static_cast<double>(frame + 1) * frameNs);
    if (m_plan.fastClock != nullptr) {
      if (!AdvanceFastClock(end)) {
        error = "the CAN driver did not deliver the messages of frame " + std::to_string(frame) +
                " within " + std::to_string(kDeliveryBoundSeconds) + " s";
        return End::Failed;
      }
    } else if (!clock.sleep_until(end, m_stop.flag()) || m_stop.requested()) {
      return End::Interrupted;
    } else {
      // What the bus carried by now is handed over before the frame takes it: on a busy machine
      // the reception threads may run late, and a message that reaches the source after its
      // frame ran would be old in the next one.
      XeCanDriverKvaser::WaitUntilDelivered(std::chrono::milliseconds(kRealTimeDeliveryBoundMs));
      // A Stop during that wait does not wait for the frame as well (what was delivered stays
      // counted as waiting).
      if (m_stop.requested()) return End::Interrupted;
    }
    if (m_plan.frames == 0 && !m_replayEnded) {
      if (XeCanDriverKvaser::ReplayFinished(m_plan.replayChannel)) {
        // The driver tells as it hands out the last frames; in real time they may still be on
        // their way to the source (--fast has waited for them already).
        if (m_plan.fastClock == nullptr)
          XeCanDriverKvaser::WaitUntilDelivered(std::chrono::seconds(kDeliveryBoundSeconds));
        m_replayEnded = true;
        m_replayEndFrame = frame;
      } else if (static_cast<double>(frame + 1) * m_plan.frameSeconds >
                     m_plan.replaySeconds + kReplayOverdueSeconds &&
                 !XeCanDriverKvaser::ReplayNextDue(m_plan.replayChannel)) {
        // Frames of a log that came closer than the bus carries them play later than logged;
        // a replay that has not begun by now will not.
        m_replayOverdue = true;
        return End::Done;
      }
    }
    if (m_plan.pumpsUi) CCentralMessageService::Pump();
    m_host.RunFrame();
    if (frameDone) frameDone(frame);
  }
}

std::uint64_t FrameLoop::SkipSilentFrames(std::int64_t start, std::uint64_t frame) {
  const std::uint64_t silent = SilentFrames(start, frame);
  if (silent == 0) return frame;
  // Nothing of the skipped frames runs, and nothing of the other sources happens in them: the
  // analysis objects and the virtual buses take up after the jump where they were.
  const double frameNs = m_plan.frameSeconds * 1e9;
  const std::int64_t from = start + std::llround(static_cast<double>(frame) * frameNs);
  const std::int64_t to = start + std::llround(static_cast<double>(frame + silent) * frameNs);
  XeCanAnalysis::SkipDeadlines(to - from);
  XeCanDriverKvaser::SkipBusTime(to - from);
  m_host.SkipFrames(silent);
  m_plan.fastClock->set_ns(to);
  return frame + silent;
}

// The clock stops at every deadline of the analysis objects (the sequencer's requests, the
// simulator's paced frames) on its way to the frame's end, so that they act at their own times and
// what they send is on the bus before the frame is read, exactly as in real time.
// Long frames are crossed in steps of at most kFastStepSeconds, each delivered before the next:
// a bus at full load must not bring more at once than the driver keeps for a reader.
bool FrameLoop::AdvanceFastClock(std::int64_t end) {
  const std::chrono::seconds bound(kDeliveryBoundSeconds);
  const auto step = static_cast<std::int64_t>(kFastStepSeconds * 1e9);
  for (;;) {
    const std::int64_t next =
        std::min({XeCanAnalysis::NextDeadline(), m_plan.fastClock->now_ns() + step, end});
    m_plan.fastClock->set_ns(next);
    if (!XeCanAnalysis::WaitUntilSettled(bound)) return false;
    if (next >= end) return true;
  }
}

bool FrameLoop::Finished(std::uint64_t frame) {
  if (m_plan.frames != 0) return frame >= m_plan.frames;
  if (!m_replayEnded) return false;
  // Frame m_replayEndFrame fetched the log's last messages; they are written by the end of the
  // slack, unless the frames are too full to take them.
  const std::uint64_t after = frame - m_replayEndFrame - 1;
  if (after < kSlackFrames) return false;
  return after >= kMaxDrainFrames || ReplayWaiting() == 0;
}

std::uint64_t FrameLoop::SilentFrames(std::int64_t start, std::uint64_t frame) const {
  if (m_plan.replayChannel < 0) return 0;
  const auto next = XeCanDriverKvaser::ReplayNextDue(m_plan.replayChannel);
  if (!next || *next == XeCanDriverKvaser::detail::kNever) return 0;
  const double frameNs = m_plan.frameSeconds * 1e9;
  const double now = static_cast<double>(frame) * frameNs;  // start of this frame, from `start`
  const auto due = static_cast<double>(*next - start);
  // The frame before the one the next message falls in runs, and so does every frame of a
  // silence shorter than a gap.
  if (due - now < ReplayLog::kGapSeconds * 1e9) return 0;
  const double until = std::min(due - frameNs, now + kPollSeconds * 1e9);
  auto silent = static_cast<std::uint64_t>(std::floor((until - now) / frameNs));
  if (m_plan.frames != 0) silent = std::min(silent, m_plan.frames - frame - 1);
  for (const auto& row : m_host.Statistics())
    if (row.waiting != 0) return 0;
  return silent;
}

std::uint64_t FrameLoop::ReplayWaiting() const {
  std::uint64_t waiting = 0;
  for (const auto& row : m_host.Statistics())
    if (row.channel == m_plan.replayChannel) waiting += row.waiting;
  return waiting;
}

}  // namespace app
