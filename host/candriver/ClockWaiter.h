#pragma once
// How a reception thread waits: until a host-clock deadline (the next frame of a log or a traffic
// generator), or until another thread wakes it (a message was queued, the bus state changed).
// The host clock's own sleep handles deadlines, so a test's manual clock wakes the thread exactly
// when it passes the deadline.
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
};

}  // namespace XeCanDriverKvaser::detail
