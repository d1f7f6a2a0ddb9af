#include "host/candriver/VirtualPort.h"

#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverLog.h"
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
    : CanPort(channel, params, clock), m_bus(std::move(bus)) {
  m_queue.reserve(256);
  m_taken.reserve(256);
}

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

bool VirtualPort::DoSend(const CanMessage& message) {
  m_bus->Send(*this, message);
  return true;
}

std::uint64_t VirtualPort::PendingSeq() const {
  std::lock_guard lock(m_bus->mutex());
  return m_queuedSeq;
}

void VirtualPort::Joined(std::int64_t hostNs) noexcept {
  m_member = true;
  m_joinedNs = hostNs;
  ++m_joins;
  m_queue.clear();
}

void VirtualPort::Left() noexcept {
  m_member = false;
  ++m_joins;
  m_queue.clear();
}

// Wakes the reception thread only when the queue was empty: a non-empty queue means a wake is
// already on its way, so a burst costs one wake, not one per message.
void VirtualPort::Enqueue(std::int64_t hostNs, const CanMessage& message) noexcept {
  if (!receiving()) return;
  if (m_queue.size() >= kMaxQueued) {
    ++m_lost;
    return;
  }
  const bool wasEmpty = m_queue.empty();
  m_queue.push_back({hostNs, message});
  ++m_queuedSeq;
  if (wasEmpty) m_waiter.Wake();
}

std::int64_t VirtualPort::NextGeneratorDue(std::size_t* which) const noexcept {
  std::int64_t best = kNever;
  for (std::size_t i = 0; i < m_cursors.size(); ++i) {
    const std::int64_t due = m_cursors[i].generator->DueNs(m_cursors[i].period);
    if (due < best) {
      best = due;
      if (which) *which = i;
    }
  }
  return best;
}

void VirtualPort::Emit(const CanMessage& message, std::int64_t hostNs,
                       CanMessage& out) const noexcept {
  out = message;
  out.channel = channel();
  out.timestamp = clock().TicksAt(hostNs);
}

FetchResult VirtualPort::DoFetch(CanMessage* out, std::size_t capacity) noexcept {
  bool member = true;
  if (m_next == m_taken.size()) {
    m_taken.clear();
    m_next = 0;
    std::uint64_t joins = 0, lost = 0;
    std::int64_t joinedNs = 0;
    {
      std::lock_guard lock(m_bus->mutex());
      m_now = host::HostClock().now_ns();
      m_taken.swap(m_queue);
      m_takenSeq = m_queuedSeq;
      member = m_member;
      joins = m_joins;
      joinedNs = m_joinedNs;
      lost = m_lost;
    }
    if (joins != m_joinsSeen) {
      m_joinsSeen = joins;
      m_cursors.clear();
      for (const TrafficGenerator& g : m_bus->generators()) {
        if (member && (!g.fd() || params().fd))
          m_cursors.push_back({&g, g.FirstPeriodAfter(joinedNs), 0});
      }
    }
    if (lost != m_lostReported) {
      Log(L"candriver: channel " + std::to_wstring(channel()) + L": receive queue full, " +
          std::to_wstring(lost - m_lostReported) + L" messages lost");
      m_lostReported = lost;
    }
  }
  FetchResult result;
  std::size_t n = 0;
  std::size_t which = 0;
  while (n < capacity) {
    const std::int64_t due = NextGeneratorDue(&which);
    const std::int64_t queued = m_next < m_taken.size() ? m_taken[m_next].hostNs : kNever;
    if (due <= m_now && due <= queued) {
      Cursor& c = m_cursors[which];
      c.generator->Fill(c.period, c.frame, out[n]);
      out[n].channel = channel();
      out[n].timestamp = clock().TicksAt(due);
      if (++c.frame == c.generator->frames()) {
        c.frame = 0;
        ++c.period;
      }
    } else if (queued != kNever) {
      Emit(m_taken[m_next].message, queued, out[n]);
      ++m_next;
    } else {
      break;
    }
    ++n;
  }
  result.count = n;
  result.seq = m_takenSeq - (m_taken.size() - m_next);
  const std::int64_t nextDue = NextGeneratorDue(nullptr);
  result.through = nextDue == kNever ? kNever : nextDue - 1;
  return result;
}

void VirtualPort::Wait() {
  if (m_next < m_taken.size()) return;
  m_waiter.WaitUntil(NextGeneratorDue(nullptr));
}

}  // namespace XeCanDriverKvaser::detail
