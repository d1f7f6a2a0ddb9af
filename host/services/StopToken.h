#pragma once
// The request to stop one run of a measurement. Whoever starts a run makes a new token for it and
// keeps it until the run has ended; the run's loop checks it before every frame and sleeps on the
// host clock with it (Clock::sleep_until). So a stop asked for at any moment, even before the
// processing thread has built its loop, ends that run and no later one, and request() wakes the
// loop at once instead of at the end of its frame. There is no process-wide stop: a stop signal
// reaches a run through its token (canhost run's StopSignals thread asks it).
//   host::StopToken run;  // a measurement starts
//   run.request();        // [any] Stop: the loop ends before its next frame
#include <atomic>

namespace host {

class StopToken {
 public:
  // [any] A token nobody has asked to stop yet.
  StopToken() noexcept = default;
  StopToken(const StopToken&) = delete;
  StopToken& operator=(const StopToken&) = delete;

  // [any] Asks the run to stop and wakes every thread sleeping on the host clock.
  void request() noexcept;
  // [any] Whether request() was called.
  bool requested() const noexcept { return m_requested.load(); }
  // [any] What Clock::sleep_until watches.
  const std::atomic<bool>& flag() const noexcept { return m_requested; }

 private:
  std::atomic<bool> m_requested{false};
};

}  // namespace host
