#include "host/services/HostClock.h"

#include <chrono>
#include <limits>

#include "host/services/Host.h"

namespace host {

namespace {
std::int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
// The clock of one host: its steady clock (epoch at the host's first reading) and the clock a test
// installed, if any.
struct HostClocks {
  SteadyClock steady;
  std::atomic<Clock*> installed{nullptr};
};
}  // namespace

SteadyClock::SteadyClock() : m_epoch(SteadyNow()) {}

std::int64_t SteadyClock::now_ns() const noexcept {
  return SteadyNow() - m_epoch;
}

bool SteadyClock::sleep_until(std::int64_t deadline_ns, const std::atomic<bool>& cancel) {
  const auto deadline =
      std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline_ns + m_epoch));
  std::unique_lock lock(m_mutex);
  m_cv.wait_until(lock, deadline, [&] { return cancel.load(); });
  return now_ns() >= deadline_ns;
}

// Times too far ahead to be represented are never reached: the latest time point stands for them.
bool SteadyClock::steady_time(std::int64_t ns,
                              std::chrono::steady_clock::time_point& out) const noexcept {
  const std::int64_t room = std::numeric_limits<std::int64_t>::max() - m_epoch;
  out = ns >= room ? std::chrono::steady_clock::time_point::max()
                   : std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns + m_epoch));
  return true;
}

void SteadyClock::notify_waiters() {
  { std::lock_guard lock(m_mutex); }
  m_cv.notify_all();
}

bool ManualClock::sleep_until(std::int64_t deadline_ns, const std::atomic<bool>& cancel) {
  Sleeper self{deadline_ns, &cancel, {}};
  MutexLock lock(m_mutex);
  m_sleepers.push_back(&self);
  while (now_ns() < deadline_ns && !cancel.load())
    self.cv.wait(m_mutex);
  std::erase(m_sleepers, &self);
  return now_ns() >= deadline_ns;
}

// Under the lock: a sleeper that sees its deadline reached on its own may leave, and its
// condition with it, as soon as the lock is free.
void ManualClock::notify_waiters() {
  MutexLock lock(m_mutex);
  for (Sleeper* sleeper : m_sleepers)
    if (sleeper->cancel->load()) sleeper->cv.notify_one();
}

void ManualClock::WakeDueLocked() {
  const std::int64_t now = now_ns();
  for (Sleeper* sleeper : m_sleepers)
    if (sleeper->deadline <= now) sleeper->cv.notify_one();
}

void ManualClock::advance_ns(std::int64_t delta_ns) {
  if (delta_ns <= 0) return;
  MutexLock lock(m_mutex);
  m_now.fetch_add(delta_ns, std::memory_order_acq_rel);
  WakeDueLocked();
}

void ManualClock::set_ns(std::int64_t t_ns) {
  MutexLock lock(m_mutex);
  if (t_ns <= m_now.load()) return;
  m_now.store(t_ns, std::memory_order_release);
  WakeDueLocked();
}

Clock& HostClock() noexcept {
  auto& clocks = CurrentHost().Get<HostClocks>();
  Clock* c = clocks.installed.load(std::memory_order_acquire);
  return c ? *c : clocks.steady;
}

void SetHostClock(Clock* clock) noexcept {
  CurrentHost().Get<HostClocks>().installed.store(clock, std::memory_order_release);
}

ScopedManualClock::ScopedManualClock(std::int64_t start_ns)
    : m_clock(std::make_unique<ManualClock>(start_ns)) {
  SetHostClock(m_clock.get());
}

ScopedManualClock::~ScopedManualClock() {
  SetHostClock(nullptr);
}

std::uint32_t TickCountMs() noexcept {
  return static_cast<std::uint32_t>(HostClock().now_ns() / 1'000'000);
}

std::int64_t UsbTicks() noexcept {
  return HostClock().now_ns() / 125'000;
}

}  // namespace host
