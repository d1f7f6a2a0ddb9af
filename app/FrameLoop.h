#pragma once
// The frame clock of canhost run: when each frame is due, and what happens before it runs.
//
//   real time  wait on the host clock for the end of the frame, then until the CAN driver has
//              delivered what was due by then (a bounded wait: on a busy machine the reception
//              threads may lag behind the clock), pump the UI thread's queue (the module's regular
//              re-synchronisation runs there), run the frame.
//   --fast     move the manual host clock to the end of the frame (in steps of at most
//              kFastStepSeconds, stopping at the analysis objects' deadlines), at each stop run
//              the actions due and hand what the CAN driver has due to the read monitors, all on
//              this thread (no thread switch per stop), pump, run the frame. No message is lost to
//              a slow machine and a run repeats exactly.
//              Where the replayed log is silent for a gap (ReplayLog::kGapSeconds or more before
//              its next frame is due), with nothing waiting, the frames are counted without being
//              run, one in kPollSeconds run so that the channels' clocks are read before their
//              counters wrap. The analysis objects and the virtual buses skip the same time
//              (SkipDeadlines, SkipBusTime): a silence of any length costs a frame per
//              kPollSeconds.
//
// The measurement ends after its number of frames, or, when it replays a log without a length,
// when the driver reports the log played to its end plus a few frames in which the last messages
// are delivered; or when its stop token is asked (Stop in canhost ui, a stop signal in canhost
// run), before the next frame: a run asked to stop while it waits for its frame's end returns at
// once.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/CanSourceHost.h"
#include "app/ReplayLog.h"
#include "host/services/HostClock.h"
#include "host/services/StopToken.h"

namespace app {

class FrameLoop {
 public:
  // Frames run after the replay has ended before the run may stop, so that its last messages
  // (due up to the end of the frame in which it ended) are written.
  static constexpr std::uint64_t kSlackFrames = 2;
  // Bound on further frames while messages of the replay channel still wait for room.
  static constexpr std::uint64_t kMaxDrainFrames = 50;
  // Bound of real time on the driver delivering one frame's messages in --fast mode.
  static constexpr int kDeliveryBoundSeconds = 30;
  // The same in real time: longer than any scheduling delay of a busy machine, shorter than what
  // a user would notice as a stalled measurement. Messages still on their way then are late.
  static constexpr int kRealTimeDeliveryBoundMs = 500;

  // Longest stretch of frames skipped at once: the channel capsules' 24-bit counters of 125 us
  // wrap every 2097 s and must be read at least every half of that.
  static constexpr double kPollSeconds = 1000.0;
  // Longest step of the --fast clock: a bus at full load carries at most 26,000 frames a second
  // (1 Mbit/s, empty CAN FD frames), fewer than the driver keeps for a reader (32768).
  static constexpr double kFastStepSeconds = 1.0;

  struct Plan {
    std::uint64_t frames = 0;    // frames to run; 0: until the replay ends
    int replayChannel = -1;      // channel of the replay (ends the run when frames is 0)
    double replaySeconds = 0.0;  // length of the replayed log, seconds
    double frameSeconds = 0.1;   // length of a frame, seconds
    host::ManualClock* fastClock = nullptr;  // the installed host clock in --fast mode, else null
    // Whether the loop runs the UI thread's queue before each frame: false when a window system
    // runs it on a thread of its own (canhost ui).
    bool pumpsUi = true;
  };

  enum class End {
    Done,         // every frame ran, or the replay ended
    Interrupted,  // the stop token was asked
    Failed,       // see the error
  };

  // Called after every frame with its index (0 = the first frame).
  using FrameDone = std::function<void(std::uint64_t frame)>;

  // [ui] `stop` (not owned, outlives the loop) ends the run.
  FrameLoop(CanSourceHost& host, const Plan& plan, const host::StopToken& stop);
  ~FrameLoop() = default;
  FrameLoop(const FrameLoop&) = delete;
  FrameLoop& operator=(const FrameLoop&) = delete;

  // [ui] Runs the frames (the module must be started). Failed comes with one line in `error`.
  End Run(const FrameDone& frameDone, std::string& error);
  // [any] Whether the run stopped because the replay did not end in time (a warning for the
  // summary: the replay channel's source is probably inactive).
  bool replayOverdue() const noexcept { return m_replayOverdue; }

 private:
  // Whether the run is over before frame `frame` runs.
  bool Finished(std::uint64_t frame);
  // --fast: moves the host clock to `end` (ns); false when delivery takes longer than its bound.
  bool AdvanceFastClock(std::int64_t end);
  std::uint64_t ReplayWaiting() const;
  // Frames from `frame` on that --fast may count without running them (0: none); `start` is the
  // clock's time at the start of frame 0.
  std::uint64_t SilentFrames(std::int64_t start, std::uint64_t frame) const;
  // --fast: counts the silent frames from `frame` on without running them; the next frame to run.
  std::uint64_t SkipSilentFrames(std::int64_t start, std::uint64_t frame);

  CanSourceHost& m_host;
  Plan m_plan;
  const host::StopToken& m_stop;
  bool m_replayEnded = false;
  std::uint64_t m_replayEndFrame = 0;  // first frame run after the driver reported the end
  bool m_replayOverdue = false;
};

}  // namespace app
