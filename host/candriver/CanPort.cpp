#include "host/candriver/CanPort.h"

#include <algorithm>

#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

// The epoch moves after the state has changed, and Fetch reads it before it looks at the state:
// a Fetch labelled with the new epoch has seen the new state.
bool CanPort::GoOnBus() {
  if (m_onBus.load()) return true;
  if (!DoGoOnBus()) return false;
  m_onBus.store(true);
  m_epoch.fetch_add(1);
  Interrupt();
  return true;
}

void CanPort::GoOffBus() {
  if (!m_onBus.load()) return;
  m_onBus.store(false);
  DoGoOffBus();
  m_epoch.fetch_add(1);
  Interrupt();
}

bool CanPort::Send(const CanMessage& message) {
  if (!m_onBus.load()) return false;
  CanMessage normalised = message;
  if (!NormaliseMessage(normalised)) return false;
  if ((normalised.flags & kCanFlagFd) && !m_params.fd) return false;
  normalised.channel = m_channel;
  normalised.flags &= kCanFlagExtended | kCanFlagRemote | kCanFlagFd | kCanFlagBrs | kCanFlagEsi;
  const std::int32_t used = (normalised.flags & kCanFlagRemote) ? 0 : normalised.length;
  std::fill(normalised.data + used, normalised.data + 64, std::uint8_t{0});
  return DoSend(normalised);
}

std::uint32_t CanPort::TimeStamp() const noexcept {
  return m_clock.TicksAt(host::HostClock().now_ns());
}

void CanPort::SetReceiving(bool receiving) {
  m_receiving.store(receiving);
  ReceivingChanged(receiving);
}

FetchResult CanPort::Fetch(CanMessage* out, std::size_t capacity) noexcept {
  const std::uint64_t epoch = m_epoch.load();
  FetchResult result = DoFetch(out, capacity);
  result.epoch = epoch;
  return result;
}

}  // namespace XeCanDriverKvaser::detail
