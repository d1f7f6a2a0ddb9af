#include "host/services/StopToken.h"

#include "host/services/HostClock.h"

namespace host {
namespace {

std::atomic<std::uint64_t> g_stopSignals{0};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

}  // namespace

StopToken::StopToken() noexcept : m_signalsBefore(g_stopSignals.load()) {}

void StopToken::request() noexcept {
  m_requested.store(true);
  HostClock().notify_waiters();
}

bool StopToken::requested() const noexcept {
  return m_requested.load() || g_stopSignals.load() != m_signalsBefore;
}

void RequestStopFromSignal() noexcept {
  g_stopSignals.fetch_add(1);
}

std::uint64_t StopSignalCount() noexcept {
  return g_stopSignals.load();
}

}  // namespace host
