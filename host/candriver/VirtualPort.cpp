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

void VirtualPort::Report(const std::wstring& what, std::uint64_t count) const noexcept {
  if (count == 0) return;
  try {
    Log(L"candriver: channel " + std::to_wstring(channel()) + L": " + std::to_wstring(count) +
        what);
  } catch (...) {
    // No memory for the line: the count is lost, the channel goes on.
  }
}

bool VirtualPort::DoSend(const CanMessage& message) {
  std::uint64_t refused = 0;
  if (m_bus->Send(*this, message, refused)) return true;
  Report(L" messages not sent: transmit queue full (" +
             std::to_wstring(BusSchedule::kTransmitQueue) + L" frames waiting for the bus)",
         refused);
  return false;
}

FetchResult VirtualPort::DoFetch(CanMessage* out, std::size_t capacity) noexcept {
  const VirtualBus::Fetched fetched = m_bus->Fetch(*this, out, capacity);
  m_nextNs = fetched.nextNs;
  const std::uint64_t lost = m_lostLog.Count(fetched.result.lost, host::HostClock().now_ns());
  Report(L" messages lost: receive queue full (the read monitors fell " +
             std::to_wstring(VirtualBus::kReceiveQueue) + L" frames behind)",
         lost);
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
