#pragma once
// Keeps a log readable when something goes wrong thousands of times a second: events are counted,
// and at most one line per interval of the host clock is let through, carrying the count since the
// line before. Not thread-safe: one owner thread, or the owner's lock.
#include <cstdint>

namespace host {

class LogThrottle {
 public:
  static constexpr std::int64_t kIntervalNs = 1'000'000'000;

  // Counts `n` events at host time `nowNs`. Returns the events to report now (those since the
  // last report, this one included), or 0 when the last report is less than an interval ago.
  std::uint64_t Count(std::uint64_t n, std::int64_t nowNs) noexcept {
    m_pending += n;
    if (m_pending == 0 || (m_reported && nowNs - m_lastNs < kIntervalNs)) return 0;
    return Take(nowNs);
  }
  // Events counted and not reported yet (taken: the next Count starts from zero).
  std::uint64_t Take(std::int64_t nowNs) noexcept {
    const std::uint64_t n = m_pending;
    m_pending = 0;
    m_reported = true;
    m_lastNs = nowNs;
    return n;
  }

 private:
  std::uint64_t m_pending = 0;
  std::int64_t m_lastNs = 0;
  bool m_reported = false;
};

}  // namespace host
