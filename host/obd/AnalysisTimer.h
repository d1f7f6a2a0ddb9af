#pragma once
// The clock of the analysis objects (vehicle simulator, sequencer): a thread of its own, registered
// with the host's thread registry, that sleeps on the host clock until its next deadline and runs
// the object's action there. The action returns the following deadline, so a periodic action keeps
// exact due times (k x period) however late its thread wakes.
//
// With a manual host clock a runner moves the clock from deadline to deadline (NextDeadline) and
// waits at each one for WaitUntilSettled: every action due so far has run, and every message the
// analysis objects sent in consequence (answers, flow control, their answers...) has been
// delivered. So a `--fast` run is exact and repeatable.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

#include "host/mfc/CString.h"
#include "host/services/HostClock.h"

namespace XeCanAnalysis {

inline constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

class AnalysisTimer {
 public:
  // Runs on the timer's thread with no lock held; `due` is the deadline reached. Returns the next
  // deadline (kNoDeadline: none).
  using Action = std::function<std::int64_t(std::int64_t due)>;

  // [ui] Starts the thread, registered under `name`; disarmed.
  AnalysisTimer(const CString& name, Action action);
  // [ui] Stops the thread; an action underway completes first. Not from the action.
  ~AnalysisTimer();
  AnalysisTimer(const AnalysisTimer&) = delete;
  AnalysisTimer& operator=(const AnalysisTimer&) = delete;

  // [any] The action runs when the host clock reaches `deadline` (replacing any earlier deadline).
  void Arm(std::int64_t deadline);
  // [any] No action runs after this returns, except one that had already begun.
  void Disarm();
  // [any] The pending deadline, kNoDeadline when disarmed.
  std::int64_t Deadline() const;

 private:
  friend std::int64_t NextDeadline();
  friend void SkipDeadlines(std::int64_t deltaNs);
  friend bool WaitUntilSettled(std::chrono::milliseconds bound);
  friend class ScopedInlineActions;
  void Run();
  void Interrupt();
  // Runs the action due now; the caller holds `lock` on the hub's mutex.
  void RunAction(std::unique_lock<std::mutex>& lock);
  // With the hub's mutex held: whether no action is due by `now` or running.
  static bool IdleLocked(std::int64_t now);
  static void RunDueLocked(std::unique_lock<std::mutex>& lock, std::int64_t now);
  // Waits (running the due actions in inline mode) until IdleLocked; false at `end`.
  static bool Settle(std::int64_t now, std::chrono::steady_clock::time_point end);
  static void SetInline(bool on);

  Action m_action;
  std::int64_t m_deadline = kNoDeadline;  // guarded by the hub's mutex
  std::uint64_t m_armed = 0;              // counts Arm and Disarm calls; hub mutex
  bool m_busy = false;                    // the action runs; hub mutex
  bool m_quit = false;                    // hub mutex
  std::atomic<bool> m_interrupt{false};   // ends the current sleep on the host clock
  // Wakes the thread of a disarmed timer (with the hub's mutex): the hub's own condition changes
  // at every action of every timer, which a disarmed one has no business with.
  std::condition_variable m_armedCv;
  // The clock the thread sleeps on: a test may have installed another one since.
  std::atomic<host::Clock*> m_sleepingOn{nullptr};
  std::thread m_thread;  // last: starts when everything above exists
};

// [ui] While one lives (the frame loop of a --fast run, which alone moves the manual clock), the
// actions due run on the thread that calls WaitUntilSettled, at the time it stops the clock at,
// instead of on their timers' threads: a deadline then costs no thread switch. The times of the
// actions and what they see are those the timers' threads would give them.
class ScopedInlineActions {
 public:
  ScopedInlineActions();
  ~ScopedInlineActions();
  ScopedInlineActions(const ScopedInlineActions&) = delete;
  ScopedInlineActions& operator=(const ScopedInlineActions&) = delete;
};

// [any] Counts a message an analysis object put on the bus, so that WaitUntilSettled knows the
// bus has more to deliver.
void NoteAnalysisSend() noexcept;
// [any] The earliest deadline of all analysis timers, kNoDeadline when none is armed.
std::int64_t NextDeadline();
// [ui] Before a manual host clock jumps ahead by `deltaNs` over time in which nothing is to happen
// (canhost run --fast crossing a silence of a replayed log): every armed deadline moves on by as
// much, so the analysis objects take up after the jump where they were before it instead of
// running every period of the stretch. Call it when they have settled (WaitUntilSettled).
void SkipDeadlines(std::int64_t deltaNs);
// [any] Blocks until no analysis timer has an action due at the host clock's current time or
// running, and everything sent so far (by anyone) has been delivered, repeating until the
// objects send nothing more. False after `bound` of real time. Not from a read monitor or action.
bool WaitUntilSettled(std::chrono::milliseconds bound = std::chrono::seconds(30));

}  // namespace XeCanAnalysis
