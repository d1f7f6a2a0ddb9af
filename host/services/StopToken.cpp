#include "host/services/StopToken.h"

#include "host/services/HostClock.h"

namespace host {

void StopToken::request() noexcept {
  m_requested.store(true);
  HostClock().notify_waiters();
}

}  // namespace host
