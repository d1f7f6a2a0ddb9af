#pragma once
// How a reception thread waits: until a host-clock deadline (the next frame of a log or a traffic
// generator), or until another thread wakes it (a message was queued, the bus state changed).
//
// On a manual clock (tests, --fast) the thread sleeps on the clock, so that it wakes exactly when
// the clock passes the deadline. On the steady clock it sleeps on its own condition variable, and
// no sooner than kSliceNs after it last woke: a busy bus ends a frame every few hundred
// microseconds, and a wake-up per frame costs more than the frame. The frames due meanwhile are
// handed out together, stamped with their own bus times. Whoever needs them at once (the frame
// loop before each frame, a sender whose frame the others must hear) wakes the thread with Wake;
// the deadline that follows a Wake is then kept exactly.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

class ClockWaiter {
 public:
  // At most this much later than due do frames reach the read monitors in real time, unless
  // someone waits for them (the frame loop does before each frame, a sender for its answer):
  // unnoticeable in a window redrawn 20 times a second. It cuts the wake-ups of a busy channel
  // from thousands a second to 50; at 5 ms, sixteen busy channels spent 1.5 % of a core more.
  static constexpr std::int64_t kSliceNs = 20'000'000;

  // [reception] Returns when the host clock reaches `deadlineNs` (kNever: no deadline), or after a
  // Wake (also one that came before this call and was not yet consumed).
  void WaitUntil(std::int64_t deadlineNs);
  // [any] Ends the current or the next WaitUntil. Cheap when nobody waits.
  void Wake() noexcept;

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::atomic<bool> m_woken{false};
  std::atomic<host::Clock*> m_sleepingOn{nullptr};
  // When the last timed wait ended (the minimum after a Wake); the waiting thread's own.
  std::int64_t m_lastWakeNs = std::numeric_limits<std::int64_t>::min();
};

}  // namespace XeCanDriverKvaser::detail
