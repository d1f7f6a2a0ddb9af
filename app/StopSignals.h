#pragma once
// How canhost run and canhost ui stop on a signal. SIGINT (Ctrl-C), SIGTERM and SIGHUP all ask for
// the same clean stop: the first one calls the stop function the command gives (the run ends
// after its current frame: outputs complete, settings saved, summary printed); a second one ends
// the process at once, with 128 + the signal, but only after any frame being written to an
// output has been written whole (OutputFile::WriteLock, waited for at most kExitBound), so every
// output stays readable up to its last whole frame. SIGPIPE is ignored: an output whose reader
// went away fails its write instead.
//
// The signals are blocked in every thread of the process and taken by a thread of this object
// (signalfd), so the stop function runs on an ordinary thread and may lock and notify. It must be
// constructed before any other thread starts (threads inherit the blocked signals), and lives
// until the command returns.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <signal.h>

namespace app {

class StopSignals {
 public:
  // Longest wait of a second signal for a frame being written (a FIFO whose reader stalls).
  static constexpr std::chrono::seconds kExitBound{1};

  // [ui] Blocks the signals and starts the thread that takes them; `onStop` is called on that
  // thread with the first signal's number.
  explicit StopSignals(std::function<void(int)> onStop);
  // [ui] Ends the thread; the signals stay blocked (a late one is not acted upon).
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // [any] The first signal received, 0 while none.
  int Received() const noexcept { return m_received.load(); }
  // [any] The exit status of a command that ended with `status`: 128 + the signal when one
  // stopped it and nothing failed (status 0), else `status`.
  int ExitStatus(int status) const noexcept;
  // [any] "Ctrl-C", "SIGTERM" or "SIGHUP": what stopped the command, for its summary.
  static const char* Name(int signal) noexcept;

 private:
  void Watch();

  std::function<void(int)> m_onStop;
  std::atomic<int> m_received{0};
  sigset_t m_previousMask{};
  int m_signalFd = -1;
  int m_wakeFd = -1;  // an eventfd that ends the thread
  std::thread m_thread;
};

}  // namespace app
