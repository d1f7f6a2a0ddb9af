#include "host/candriver/ClockWaiter.h"

namespace XeCanDriverKvaser::detail {

void ClockWaiter::WaitUntil(std::int64_t deadlineNs) {
  if (deadlineNs == kNever) {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_woken.load(); });
  } else {
    // Publish the clock before looking at the flag; Wake sets the flag before looking at the
    // clock. One of the two sees the other, so no wake is lost.
    host::Clock& clock = host::HostClock();
    m_sleepingOn.store(&clock);
    if (!m_woken.load()) clock.sleep_until(deadlineNs, m_woken);
    m_sleepingOn.store(nullptr);
  }
  m_woken.store(false);
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
