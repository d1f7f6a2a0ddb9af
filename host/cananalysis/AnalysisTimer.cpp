#include "host/cananalysis/AnalysisTimer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "host/candriver/CanDriver.h"
#include "host/services/CThreadControllerRegistry.h"
#include "host/services/HostClock.h"

namespace XeCanAnalysis {
namespace {

// State shared by all timers: one mutex and one condition for deadlines, progress and settling.
// There are a handful of timers per process, so waking all of them on a change costs nothing.
struct Hub {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<AnalysisTimer*> timers;
  std::atomic<std::uint64_t> sends{0};
};

Hub& TheHub() {
  static Hub hub;
  return hub;
}

}  // namespace

AnalysisTimer::AnalysisTimer(const CString& name, Action action) : m_action(std::move(action)) {
  Hub& hub = TheHub();
  {
    std::lock_guard lock(hub.mutex);
    hub.timers.push_back(this);
  }
  m_thread = std::thread([this] { Run(); });
  CThreadControllerRegistry::Object().Register(m_thread, name);
}

AnalysisTimer::~AnalysisTimer() {
  Hub& hub = TheHub();
  {
    std::lock_guard lock(hub.mutex);
    m_quit = true;
  }
  Interrupt();
  CThreadControllerRegistry::Object().Release(m_thread);
  m_thread.join();
  {
    std::lock_guard lock(hub.mutex);
    hub.timers.erase(std::find(hub.timers.begin(), hub.timers.end(), this));
  }
  hub.cv.notify_all();
}

void AnalysisTimer::Arm(std::int64_t deadline) {
  Hub& hub = TheHub();
  {
    std::lock_guard lock(hub.mutex);
    m_deadline = deadline;
    ++m_armed;
  }
  Interrupt();
}

void AnalysisTimer::Interrupt() {
  m_interrupt.store(true);
  TheHub().cv.notify_all();
  if (host::Clock* clock = m_sleepingOn.load()) clock->notify_waiters();
}

void AnalysisTimer::Disarm() {
  Arm(kNoDeadline);
}

std::int64_t AnalysisTimer::Deadline() const {
  std::lock_guard lock(TheHub().mutex);
  return m_deadline;
}

void AnalysisTimer::Run() {
  Hub& hub = TheHub();
  std::unique_lock lock(hub.mutex);
  while (!m_quit) {
    if (m_deadline == kNoDeadline) {
      hub.cv.wait(lock, [this] { return m_quit || m_deadline != kNoDeadline; });
      continue;
    }
    const std::int64_t due = m_deadline;
    m_interrupt.store(false);
    host::Clock& clock = host::HostClock();
    m_sleepingOn.store(&clock);
    lock.unlock();
    const bool reached = clock.sleep_until(due, m_interrupt);
    lock.lock();
    m_sleepingOn.store(nullptr);
    if (m_quit || !reached || m_deadline != due) continue;
    m_busy = true;
    const std::uint64_t armed = m_armed;
    lock.unlock();
    const std::int64_t next = m_action(due);
    lock.lock();
    m_busy = false;
    // An Arm or Disarm while the action ran wins over the action's own next deadline.
    if (m_armed == armed) m_deadline = next;
    hub.cv.notify_all();
  }
}

void NoteAnalysisSend() noexcept {
  TheHub().sends.fetch_add(1, std::memory_order_acq_rel);
}

std::int64_t NextDeadline() {
  Hub& hub = TheHub();
  std::lock_guard lock(hub.mutex);
  std::int64_t next = kNoDeadline;
  for (const AnalysisTimer* t : hub.timers)
    next = std::min(next, t->m_deadline);
  return next;
}

// Each thread sleeps towards its old deadline: woken, it takes up the new one. The timers are
// woken under the hub's lock, so that none is destroyed meanwhile (the clock's lock, which waking
// takes, is never held while the hub's is taken).
void SkipDeadlines(std::int64_t deltaNs) {
  if (deltaNs <= 0) return;
  Hub& hub = TheHub();
  std::lock_guard lock(hub.mutex);
  for (AnalysisTimer* t : hub.timers) {
    if (t->m_deadline == kNoDeadline) continue;
    t->m_deadline = t->m_deadline > kNoDeadline - deltaNs ? kNoDeadline : t->m_deadline + deltaNs;
    ++t->m_armed;  // an action under way does not put the old deadline back
    t->Interrupt();
  }
}

bool WaitUntilSettled(std::chrono::milliseconds bound) {
  using Steady = std::chrono::steady_clock;
  const auto end = Steady::now() + bound;
  Hub& hub = TheHub();
  for (;;) {
    const std::int64_t now = host::HostClock().now_ns();
    {
      std::unique_lock lock(hub.mutex);
      const auto idle = [&] {
        return std::all_of(hub.timers.begin(), hub.timers.end(), [&](const AnalysisTimer* t) {
          return !t->m_busy && t->m_deadline > now;
        });
      };
      if (!hub.cv.wait_until(lock, end, idle)) return false;
    }
    const std::uint64_t sends = hub.sends.load(std::memory_order_acquire);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now());
    if (left.count() <= 0 || !XeCanDriverKvaser::WaitUntilDelivered(left)) return false;
    if (hub.sends.load(std::memory_order_acquire) == sends) {
      std::lock_guard lock(hub.mutex);
      const bool quiet =
          std::all_of(hub.timers.begin(), hub.timers.end(),
                      [&](const AnalysisTimer* t) { return !t->m_busy && t->m_deadline > now; });
      if (quiet) return true;
    }
  }
}

}  // namespace XeCanAnalysis
