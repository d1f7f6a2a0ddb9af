#include "host/obd/AnalysisTimer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "host/candriver/CanDriver.h"
#include "host/services/CThreadControllerRegistry.h"
#include "host/services/Host.h"
#include "host/services/HostClock.h"

namespace XeCanAnalysis {
namespace {

// State shared by all timers: one mutex and one condition for deadlines, progress and settling.
// There are a handful of timers per host, so waking all of them on a change costs nothing.
struct Hub {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<AnalysisTimer*> timers;
  std::atomic<std::uint64_t> sends{0};
  bool inlineActions = false;  // see ScopedInlineActions; guarded by the mutex
};

Hub& TheHub() {
  return host::CurrentHost().Get<Hub>();
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
    // An action the runner runs (ScopedInlineActions) completes first, as one of the thread's does.
    std::unique_lock lock(hub.mutex);
    hub.cv.wait(lock, [this] { return !m_busy; });
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
  m_armedCv.notify_all();
  TheHub().cv.notify_all();  // a deadline moved away may settle a WaitUntilSettled
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
    if (m_deadline == kNoDeadline || hub.inlineActions) {
      m_armedCv.wait(lock,
                     [&] { return m_quit || (m_deadline != kNoDeadline && !hub.inlineActions); });
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
    if (m_quit || !reached || m_deadline != due || hub.inlineActions) continue;
    RunAction(lock);
  }
}

// The caller holds `lock` on the hub's mutex; it is let go while the action runs.
void AnalysisTimer::RunAction(std::unique_lock<std::mutex>& lock) {
  const std::int64_t due = m_deadline;
  m_busy = true;
  const std::uint64_t armed = m_armed;
  lock.unlock();
  const std::int64_t next = m_action(due);
  lock.lock();
  m_busy = false;
  // An Arm or Disarm while the action ran wins over the action's own next deadline.
  if (m_armed == armed) m_deadline = next;
  TheHub().cv.notify_all();
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

bool AnalysisTimer::IdleLocked(std::int64_t now) {
  const Hub& hub = TheHub();
  return std::all_of(hub.timers.begin(), hub.timers.end(),
                     [&](const AnalysisTimer* t) { return !t->m_busy && t->m_deadline > now; });
}

// Runs the actions due by `now` on this thread, earliest deadline first (list order among equal
// ones), until none is due: an action may make another one due.
void AnalysisTimer::RunDueLocked(std::unique_lock<std::mutex>& lock, std::int64_t now) {
  for (;;) {
    AnalysisTimer* due = nullptr;
    for (AnalysisTimer* t : TheHub().timers)
      if (!t->m_busy && t->m_deadline <= now && (!due || t->m_deadline < due->m_deadline)) due = t;
    if (!due) return;
    due->RunAction(lock);
  }
}

// Until no action is due or running: in inline mode this thread runs the due ones, and waits only
// for one still underway on a timer's own thread (begun before the mode changed).
bool AnalysisTimer::Settle(std::int64_t now, std::chrono::steady_clock::time_point end) {
  Hub& hub = TheHub();
  std::unique_lock lock(hub.mutex);
  for (;;) {
    if (hub.inlineActions) RunDueLocked(lock, now);
    if (IdleLocked(now)) return true;
    if (hub.cv.wait_until(lock, end) == std::cv_status::timeout) return false;
  }
}

ScopedInlineActions::ScopedInlineActions() {
  AnalysisTimer::SetInline(true);
}

ScopedInlineActions::~ScopedInlineActions() {
  AnalysisTimer::SetInline(false);
}

// A timer's thread sleeping on the clock is woken so that it leaves the deadline to the runner;
// woken again after, it takes its deadlines up.
void AnalysisTimer::SetInline(bool on) {
  Hub& hub = TheHub();
  std::lock_guard lock(hub.mutex);
  hub.inlineActions = on;
  for (AnalysisTimer* t : hub.timers)
    t->Interrupt();
}

bool WaitUntilSettled(std::chrono::milliseconds bound) {
  using Steady = std::chrono::steady_clock;
  const auto end = Steady::now() + bound;
  Hub& hub = TheHub();
  for (;;) {
    const std::int64_t now = host::HostClock().now_ns();
    if (!AnalysisTimer::Settle(now, end)) return false;
    const std::uint64_t sends = hub.sends.load(std::memory_order_acquire);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now());
    if (left.count() <= 0 || !XeCanDriverKvaser::WaitUntilDelivered(left)) return false;
    if (hub.sends.load(std::memory_order_acquire) == sends) {
      std::lock_guard lock(hub.mutex);
      if (AnalysisTimer::IdleLocked(now)) return true;
    }
  }
}

}  // namespace XeCanAnalysis
