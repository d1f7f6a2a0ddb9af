#include "host/candriver/CanIo.h"

#include <mutex>
#include <vector>

#include "host/candriver/CanControl.h"
#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverLog.h"
#include "host/services/Host.h"

namespace XeCanDriverKvaser {
namespace {

// Every open port of the host, in the order they were opened. A port outlives moves of its
// handle, so it, not the handle, is what is registered.
struct OpenPorts {
  std::mutex mutex;
  std::vector<const detail::CanPort*> ports;
};
OpenPorts& Registry() {
  return host::CurrentHost().Get<OpenPorts>();
}

}  // namespace

std::optional<detail::BusParams> OpenBusParams(int channel) {
  OpenPorts& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  for (const detail::CanPort* port : registry.ports)
    if (port->channel() == channel) return port->params();
  return std::nullopt;
}

void CanIo::SetPort(std::unique_ptr<detail::CanPort> port) {
  OpenPorts& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  if (m_port) std::erase(registry.ports, m_port.get());
  m_port = std::move(port);
  if (m_port) registry.ports.push_back(m_port.get());
}

CanIo::CanIo(int channelNumber) : channel(channelNumber) {}

CanIo::CanIo(CanIo&& other) noexcept : channel(other.channel), state(other.state) {
  if (other.m_control) other.m_control->Attach(nullptr);
  m_port = std::move(other.m_port);
  other.state = kClosed;
}

CanIo& CanIo::operator=(CanIo&& other) noexcept {
  if (this == &other) return *this;
  Close();
  if (other.m_control) other.m_control->Attach(nullptr);
  channel = other.channel;
  state = other.state;
  m_port = std::move(other.m_port);
  other.state = kClosed;
  if (m_control && m_port) m_control->Attach(m_port.get());
  return *this;
}

CanIo::~CanIo() {
  Close();
  if (m_control) m_control->m_io = nullptr;
}

std::optional<detail::BusParams> CanIo::ToBusParams(int channel, bool fd, bitrate_t bitrate,
                                                    fd_arbitrationrate_t arbitration,
                                                    fd_datarate_t data) {
  std::int32_t bad = 0;
  if (fd) {
    const std::int32_t a = BitsPerSecond(arbitration), d = BitsPerSecond(data);
    if (a != 0 && d != 0) return detail::BusParams{true, 0, a, d};
    bad = a == 0 ? std::int32_t{arbitration} : std::int32_t{data};
  } else {
    const std::int32_t b = BitsPerSecond(bitrate);
    if (b != 0) return detail::BusParams{false, b, 0, 0};
    bad = bitrate;
  }
  detail::Log(L"candriver: channel " + std::to_wstring(channel) + L": unsupported " +
              (fd ? L"CAN FD rate code " : L"bit rate code ") + std::to_wstring(bad));
  return std::nullopt;
}

bool CanIo::Open(bool fd, bitrate_t bitrate, fd_arbitrationrate_t arbitration, fd_datarate_t data) {
  if (state != kClosed) Close();
  if (channel < 0) return false;
  const auto params = ToBusParams(channel, fd, bitrate, arbitration, data);
  if (!params) return false;
  SetPort(detail::CanDriver::Get().Open(channel, *params));
  if (!m_port) return false;
  state = kOffBus;
  if (m_control) m_control->Attach(m_port.get());
  return true;
}

bool CanIo::Close() {
  if (m_port) {
    m_port->GoOffBus();
    if (m_control) m_control->Attach(nullptr);
    SetPort(nullptr);
  }
  state = kClosed;
  return true;
}

bool CanIo::GoOnBus() {
  if (!m_port || !m_port->GoOnBus()) return false;
  state = kOnBus;
  return true;
}

bool CanIo::GoOffBus() {
  // A closed handle is off bus already: the host goes off bus before it (re)opens its channels.
  if (!m_port) return true;
  m_port->GoOffBus();
  state = kOffBus;
  return true;
}

std::int32_t CanIo::TimeStamp() const {
  return m_port ? static_cast<std::int32_t>(m_port->TimeStamp()) : 0;
}

bool CanIo::Send(const CanMessage& message) {
  return m_port && m_port->Send(message);
}

}  // namespace XeCanDriverKvaser
