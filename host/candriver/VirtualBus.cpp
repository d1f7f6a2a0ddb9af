#include "host/candriver/VirtualBus.h"

#include <algorithm>

#include "host/candriver/VirtualPort.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

VirtualBus::VirtualBus(std::string name, std::vector<TrafficGenerator> generators)
    : m_name(std::move(name)), m_generators(std::move(generators)) {}

std::int64_t VirtualBus::Join(VirtualPort& port) {
  std::lock_guard lock(m_mutex);
  const std::int64_t now = host::HostClock().now_ns();
  if (std::find(m_members.begin(), m_members.end(), &port) == m_members.end())
    m_members.push_back(&port);
  port.Joined(now);
  return now;
}

void VirtualBus::Leave(VirtualPort& port) {
  std::lock_guard lock(m_mutex);
  m_members.erase(std::remove(m_members.begin(), m_members.end(), &port), m_members.end());
  port.Left();
}

// The time is read under the lock: whatever a receiver takes out of its queue was sent no later
// than the time it reads under the same lock, which keeps queued and generated frames in order.
void VirtualBus::Send(const VirtualPort& from, const CanMessage& message) {
  std::lock_guard lock(m_mutex);
  const std::int64_t now = host::HostClock().now_ns();
  for (VirtualPort* member : m_members)
    if (member != &from && member->params().SameBus(from.params())) member->Enqueue(now, message);
}

}  // namespace XeCanDriverKvaser::detail
