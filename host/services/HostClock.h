#pragma once
// The one clock of the host. Every time the host reads (GetTickCount, the USB time, the CAN driver
// timestamps, the traffic generators and replays) comes from here, so tests install a ManualClock
// and step time instead of sleeping.
//
// Times are nanoseconds since the clock's epoch (the first use of the steady clock, or 0 for a
// manual clock). Derived time bases:
//   GetTickCount()  = now_ns / 1'000'000, wraps at 2^32 ms
//   UsbTicks()      = now_ns / 125'000    (125 µs ticks of the time machine)
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host/mfc/ThreadSafety.h"

namespace host {

class Clock {
 public:
  virtual ~Clock() = default;
  // [any] Current time in ns since the epoch; never goes backwards.
  virtual std::int64_t now_ns() const noexcept = 0;
  // [any] Blocks until now_ns() >= deadline_ns or until `cancel` is true (checked whenever the
  // clock moves or notify_waiters() is called). Returns true when the deadline was reached.
  virtual bool sleep_until(std::int64_t deadline_ns, const std::atomic<bool>& cancel) = 0;
  // [any] Wakes every sleeper so that it checks its cancel flag again.
  virtual void notify_waiters() = 0;
  // [any] For a clock that follows std::chrono::steady_clock: the steady time of `ns`, so that a
  // thread can wait on a condition variable of its own rather than on the clock's shared one.
  // False for a clock that moves only when told: its sleepers must use sleep_until.
  virtual bool steady_time(std::int64_t /*ns*/,
                           std::chrono::steady_clock::time_point& /*out*/) const noexcept {
    return false;
  }
};

// Production clock: std::chrono::steady_clock, epoch at construction.
class SteadyClock final : public Clock {
 public:
  SteadyClock();
  std::int64_t now_ns() const noexcept override;
  bool sleep_until(std::int64_t deadline_ns, const std::atomic<bool>& cancel) override;
  void notify_waiters() override;
  bool steady_time(std::int64_t ns,
                   std::chrono::steady_clock::time_point& out) const noexcept override;

 private:
  std::int64_t m_epoch;
  std::mutex m_mutex;
  std::condition_variable m_cv;
};

// Test and fast-run clock: moves only when told to. A move wakes only the sleepers whose deadline
// it reaches, and notify_waiters only those whose cancel flag is set: a --fast run moves the clock
// thousands of times a second, and most reception and timer threads have nothing due at most of
// those times (waking each of them to find that out cost more than the work itself).
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t start_ns = 0) : m_now(start_ns) {}
  std::int64_t now_ns() const noexcept override { return m_now.load(std::memory_order_acquire); }
  bool sleep_until(std::int64_t deadline_ns, const std::atomic<bool>& cancel) override;
  void notify_waiters() override;
  // [any] Moves the clock forward by delta (negative deltas are ignored) and wakes sleepers.
  void advance_ns(std::int64_t delta_ns);
  // [any] Sets the clock to t if t is later than now.
  void set_ns(std::int64_t t_ns);

 private:
  // A thread in sleep_until; lives on that thread's stack while it is listed.
  struct Sleeper {
    std::int64_t deadline;
    const std::atomic<bool>* cancel;
    std::condition_variable_any cv;
  };
  void WakeDueLocked() REQUIRES(m_mutex);

  std::atomic<std::int64_t> m_now;
  Mutex m_mutex;
  std::vector<Sleeper*> m_sleepers GUARDED_BY(m_mutex);
};

// [any] The current host's installed clock (its own SteadyClock unless one was installed).
Clock& HostClock() noexcept;
// [any] Installs a clock in the current host (not owned; must outlive its use) or, with null, the
// host's steady clock again.
void SetHostClock(Clock* clock) noexcept;

// Installs a ManualClock for the lifetime of the object (tests).
class ScopedManualClock {
 public:
  explicit ScopedManualClock(std::int64_t start_ns = 0);
  ~ScopedManualClock();
  ScopedManualClock(const ScopedManualClock&) = delete;
  ScopedManualClock& operator=(const ScopedManualClock&) = delete;
  ManualClock& clock() noexcept { return *m_clock; }
  void advance_ms(std::int64_t ms) { m_clock->advance_ns(ms * 1'000'000); }
  void advance_ns(std::int64_t ns) { m_clock->advance_ns(ns); }

 private:
  std::unique_ptr<ManualClock> m_clock;
};

// [any] Milliseconds of the host clock, wrapping at 2^32.
std::uint32_t TickCountMs() noexcept;
// [any] USB time of the host in 125 µs ticks.
std::int64_t UsbTicks() noexcept;

}  // namespace host
