#pragma once
// The request to stop one run of a measurement. Whoever starts a run makes a new token for it and
// keeps it until the run has ended; the run's loop checks it before every frame and sleeps on the
// host clock with it (Clock::sleep_until). So a stop asked for at any moment, even before the
// processing thread has built its loop, ends that run and no later one, and request() wakes the
// loop at once instead of at the end of its frame.
//
// A signal handler may neither lock nor notify. RequestStopFromSignal() only counts (one lock-free
// atomic): every token that exists then reads as requested from that moment on, and a loop
// sleeping on the clock sees it when its frame's wait ends. Tokens made later are not touched.
//   host::StopToken run;           // a measurement starts
//   run.request();                 // [any] Stop: the loop ends before its next frame
//   host::RequestStopFromSignal(); // SIGINT, SIGTERM: the same for every run under way
#include <atomic>
#include <cstdint>

namespace host {

class StopToken {
 public:
  // [any] A token nobody has asked to stop yet.
  StopToken() noexcept;
  StopToken(const StopToken&) = delete;
  StopToken& operator=(const StopToken&) = delete;

  // [any] Asks the run to stop and wakes every thread sleeping on the host clock.
  void request() noexcept;
  // [any] Whether request() was called, or a stop signal came since the token was made.
  bool requested() const noexcept;
  // [any] What Clock::sleep_until watches: set by request() (not by a signal).
  const std::atomic<bool>& flag() const noexcept { return m_requested; }

 private:
  std::atomic<bool> m_requested{false};
  std::uint64_t m_signalsBefore;  // StopSignalCount() when the token was made
};

// [signal-safe] Asks every run under way to stop (see above).
void RequestStopFromSignal() noexcept;
// [any] Stop signals since the process started; a window may poll it to close itself.
std::uint64_t StopSignalCount() noexcept;

}  // namespace host
