#pragma once
// A virtual CAN bus: the channels configured on it, while on bus, hear each other. A message sent
// on one channel reaches every other handle on the bus that is on bus with the same mode and bit
// rates (other handles of the sending channel included, as local echo does on hardware), stamped
// with the host time of sending. The bus also carries the traffic generators configured for it.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/candriver/CanMessage.h"
#include "host/candriver/TrafficGenerator.h"

namespace XeCanDriverKvaser::detail {

class VirtualPort;

class VirtualBus {
 public:
  VirtualBus(std::string name, std::vector<TrafficGenerator> generators);
  VirtualBus(const VirtualBus&) = delete;
  VirtualBus& operator=(const VirtualBus&) = delete;

  const std::string& name() const noexcept { return m_name; }
  const std::vector<TrafficGenerator>& generators() const noexcept { return m_generators; }

  // [ui, processing] A port goes on bus / off bus; `now` is returned as the joining time.
  std::int64_t Join(VirtualPort& port);
  void Leave(VirtualPort& port);
  // [any] Hands a message (already checked) to the other members; returns the host time used.
  void Send(const VirtualPort& from, const CanMessage& message);
  // Guards the members' receive queues.
  std::mutex& mutex() noexcept { return m_mutex; }

 private:
  const std::string m_name;
  const std::vector<TrafficGenerator> m_generators;
  std::mutex m_mutex;
  std::vector<VirtualPort*> m_members;  // guarded by m_mutex
};

}  // namespace XeCanDriverKvaser::detail
