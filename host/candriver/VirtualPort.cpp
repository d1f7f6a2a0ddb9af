#include "host/candriver/VirtualPort.h"

#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverLog.h"
#include "host/mfc/CString.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

std::string VirtualPort::Check(const ChannelConfig& config) {
  std::string error = config.options.CheckKnown({"bus"});
  if (error.empty() && config.options.Find("bus") && config.options.Find("bus")->empty())
    error = "bus= needs a name";
  return error;
}

std::unique_ptr<CanPort> VirtualPort::Open(const ChannelConfig& config, const BusParams& params) {
  const std::string* bus = config.options.Find("bus");
  return std::make_unique<VirtualPort>(
      config.channel, params, config.clock,
      CanDriver::Get().Bus(bus ? *bus : std::string(kDefaultVirtualBus)));
}

VirtualPort::VirtualPort(int channel, const BusParams& params, const ChannelClock& clock,
                         std::shared_ptr<VirtualBus> bus)
    : CanPort(channel, params, clock), m_bus(std::move(bus)) {}

VirtualPort::~VirtualPort() {
  m_bus->Leave(*this);
}

bool VirtualPort::DoGoOnBus() {
  m_bus->Join(*this);
  return true;
}

void VirtualPort::DoGoOffBus() {
  m_bus->Leave(*this);
}

// The line is built only when there is something to report: a fetch runs hundreds of times a
// second per channel.
void VirtualPort::Report(std::uint64_t count, const wchar_t* cause, std::size_t bound,
                         const wchar_t* unit) const noexcept {
  if (count == 0) return;
  try {
    Log(L"candriver: channel " + std::to_wstring(channel()) + L": " + std::to_wstring(count) +
        cause + std::to_wstring(bound) + unit);
  } catch (...) {
    // No memory for the line: the count is lost, the channel goes on.
  }
}

bool VirtualPort::DoSend(const CanMessage& message) {
  std::uint64_t refused = 0;
  if (m_bus->Send(*this, message, refused)) return true;
  Report(refused, L" messages not sent: transmit queue full (", BusSchedule::kTransmitQueue,
         L" frames waiting for the bus)");
  return false;
}

FetchResult VirtualPort::DoFetch(CanMessage* out, std::size_t capacity) noexcept {
  const VirtualBus::Fetched fetched = m_bus->Fetch(*this, out, capacity);
  m_nextNs = fetched.nextNs;
  const std::uint64_t lost = m_lostLog.Count(fetched.result.lost, host::HostClock().now_ns());
  Report(lost, L" messages lost: receive queue full (the read monitors fell ",
         VirtualBus::kReceiveQueue, L" frames behind)");
  if (fetched.overwritten != 0) {
    try {
      Log(L"candriver: bus " + mfc::WidenUtf8(m_bus->name()) + L": " +
          std::to_wstring(fetched.overwritten) +
          L" generator frames not sent: the bus was busy until a newer period replaced them");
    } catch (...) {
    }
  }
  return fetched.result;
}

void VirtualPort::Wait() {
  m_waiter.WaitUntil(m_nextNs);
}

}  // namespace XeCanDriverKvaser::detail
