#include "host/candriver/VirtualBus.h"

#include <algorithm>
#include <new>

#include "host/candriver/VirtualPort.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

VirtualBus::VirtualBus(std::string name, std::vector<TrafficGenerator> generators)
    : m_name(std::move(name)),
      m_generators(std::move(generators)),
      m_schedule(m_generators),
      m_ring(kInitialRing) {}

void VirtualBus::Join(VirtualPort& port) {
  std::lock_guard lock(m_mutex);
  const std::int64_t now = host::HostClock().now_ns();
  AdvanceLocked(now);
  if (FindLocked(port)) return;
  if (m_members.empty()) {
    // A bus nobody is on carries nothing: it starts afresh with its first node.
    m_total = 0;
    m_overwrittenSeen = 0;
    m_schedule.Start(now, port.params());
  }
  m_members.push_back({&port, m_total + (m_schedule.busy() ? 1u : 0u), 0, {}});
  m_schedule.AddSender(&port, port.params());
}

void VirtualBus::Leave(VirtualPort& port) {
  std::lock_guard lock(m_mutex);
  AdvanceLocked(host::HostClock().now_ns());
  std::erase_if(m_members, [&](const Member& m) { return m.port == &port; });
  m_schedule.RemoveSender(&port);
  if (m_members.empty()) m_schedule.Stop();
}

// Members wait for the end of the next frame as they knew it; a new frame may end earlier.
bool VirtualBus::Send(const VirtualPort& from, const CanMessage& message, std::uint64_t& refused) {
  std::lock_guard lock(m_mutex);
  refused = 0;
  const std::int64_t now = host::HostClock().now_ns();
  AdvanceLocked(now);
  Member* member = FindLocked(from);
  if (!member) return false;
  if (!m_schedule.Queue(&from, now, message)) {
    refused = member->refusals.Count(1, now);
    return false;
  }
  m_sends.fetch_add(1, std::memory_order_release);
  for (const Member& m : m_members)
    if (m.port != &from) m.port->Interrupt();
  return true;
}

bool VirtualBus::Hears(const Member& member, const BusFrame& frame) noexcept {
  if (frame.sender == member.port) return false;
  const BusParams& params = member.port->params();
  if (!frame.sender) return !(frame.message.flags & kCanFlagFd) || params.fd;
  return frame.params.SameBus(params);
}

// The frames the slowest receiving member has not read are kept; when they fill the ring it
// doubles, and at the bound (or without memory to grow) the oldest is overwritten. A handle with
// no controller (the source module's clock handle) keeps nothing.
void VirtualBus::PushLocked(const BusFrame& frame) noexcept {
  std::uint64_t unread = m_total;
  for (Member& m : m_members) {
    if (m.port->receiving())
      unread = std::min(unread, m.cursor);
    else
      m.cursor = std::max(m.cursor, m_total + 1);
  }
  if (m_total - unread >= m_ring.size() && !(m_ring.size() < kReceiveQueue && GrowLocked())) {
    const std::uint64_t oldest = m_total - m_ring.size();
    const BusFrame& gone = Slot(oldest);
    for (Member& m : m_members) {
      if (m.cursor != oldest) continue;
      if (m.port->receiving() && Hears(m, gone)) ++m.lost;
      ++m.cursor;
    }
  }
  Slot(m_total) = frame;
  ++m_total;
}

bool VirtualBus::GrowLocked() noexcept {
  try {
    std::vector<BusFrame> bigger(m_ring.size() * 2);
    for (std::uint64_t s = m_total - m_ring.size(); s < m_total; ++s)
      bigger[s & (bigger.size() - 1)] = Slot(s);
    m_ring.swap(bigger);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// A ring grown for a burst would keep its memory for the rest of the run. Weighed once a second
// so that traffic which fills it in waves does not make it shrink and grow in turn.
void VirtualBus::ShrinkLocked(std::int64_t nowNs) noexcept {
  if (m_ring.size() == kInitialRing || nowNs - m_shrinkCheckNs < 1'000'000'000) return;
  m_shrinkCheckNs = nowNs;
  std::uint64_t unread = 0;
  for (const Member& m : m_members)
    if (m.port->receiving() && m.cursor < m_total) unread = std::max(unread, m_total - m.cursor);
  const std::size_t size = std::max(kInitialRing, std::bit_ceil(4 * unread + 1));
  if (size >= m_ring.size()) return;
  try {
    std::vector<BusFrame> smaller(size);
    for (std::uint64_t s = m_total > size ? m_total - size : 0; s < m_total; ++s)
      smaller[s & (size - 1)] = Slot(s);
    m_ring.swap(smaller);
  } catch (const std::bad_alloc&) {
    // Keeping the larger ring loses nothing.
  }
}

void VirtualBus::AdvanceLocked(std::int64_t nowNs) noexcept {
  BusFrame frame;
  while (m_schedule.Next(nowNs, frame))
    PushLocked(frame);
}

VirtualBus::Member* VirtualBus::FindLocked(const VirtualPort& port) noexcept {
  for (Member& m : m_members)
    if (m.port == &port) return &m;
  return nullptr;
}

VirtualBus::Fetched VirtualBus::Fetch(const VirtualPort& port, CanMessage* out,
                                      std::size_t capacity) noexcept {
  Fetched fetched;
  std::lock_guard lock(m_mutex);
  const std::int64_t now = host::HostClock().now_ns();
  AdvanceLocked(now);
  Member* member = FindLocked(port);
  if (!member) return fetched;  // off bus: nothing is due
  fetched.result.seq = m_sends.load(std::memory_order_relaxed);
  std::size_t n = 0;
  while (n < capacity && member->cursor < m_total) {
    const BusFrame& frame = Slot(member->cursor++);
    if (!Hears(*member, frame)) continue;
    out[n] = frame.message;
    out[n].channel = port.channel();
    out[n].timestamp = port.clock().TicksAt(frame.endNs);
    ++n;
  }
  ShrinkLocked(now);
  fetched.result.count = n;
  fetched.result.lost = member->lost;
  member->lost = 0;
  if (member->cursor < m_total) {
    fetched.result.through = Slot(member->cursor).endNs - 1;
    fetched.nextNs = now;
  } else {
    // Until someone sends (result.seq), nothing ends on the bus before its next frame.
    fetched.nextNs = m_schedule.NextEndNs();
    fetched.result.through = std::max(now, fetched.nextNs - 1);
  }
  const std::uint64_t overwritten = m_schedule.statistics().overwritten;
  fetched.overwritten = m_overwrites.Count(overwritten - m_overwrittenSeen, now);
  m_overwrittenSeen = overwritten;
  return fetched;
}

void VirtualBus::SkipTime(std::int64_t deltaNs) {
  std::lock_guard lock(m_mutex);
  AdvanceLocked(host::HostClock().now_ns());
  m_schedule.Skip(deltaNs);
}

BusSchedule::Statistics VirtualBus::Statistics() {
  std::lock_guard lock(m_mutex);
  AdvanceLocked(host::HostClock().now_ns());
  return m_schedule.statistics();
}

}  // namespace XeCanDriverKvaser::detail
