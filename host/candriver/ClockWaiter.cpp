#include "host/candriver/ClockWaiter.h"

#include <algorithm>
#include <chrono>

namespace XeCanDriverKvaser::detail {

void ClockWaiter::WaitUntil(std::int64_t deadlineNs) {
  host::Clock& clock = host::HostClock();
  std::chrono::steady_clock::time_point steadyDeadline;
  if (deadlineNs == kNever) {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_woken.load(); });
  } else if (clock.steady_time(std::max(deadlineNs, m_lastWakeNs + kSliceNs), steadyDeadline)) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_until(lock, steadyDeadline, [&] { return m_woken.load(); });
  } else {
    // Publish the clock before looking at the flag; Wake sets the flag before looking at the
    // clock. One of the two sees the other, so no wake is lost.
    m_sleepingOn.store(&clock);
    if (!m_woken.load()) clock.sleep_until(deadlineNs, m_woken);
    m_sleepingOn.store(nullptr);
  }
  // After a Wake the next deadline is kept exactly: whoever woke the thread may wait for a frame
  // still on the wire (the answer to what it sent).
  m_lastWakeNs =
      m_woken.exchange(false) ? std::numeric_limits<std::int64_t>::min() : clock.now_ns();
}

void ClockWaiter::Wake() noexcept {
  {
    std::lock_guard lock(m_mutex);
    m_woken.store(true);
  }
  m_cv.notify_one();
  if (host::Clock* clock = m_sleepingOn.load()) clock->notify_waiters();
}

}  // namespace XeCanDriverKvaser::detail
