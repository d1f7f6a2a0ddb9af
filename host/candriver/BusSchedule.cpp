#include "host/candriver/BusSchedule.h"

#include <algorithm>

#include "host/candriver/ClockWaiter.h"
#include "host/candriver/FrameTiming.h"

namespace XeCanDriverKvaser::detail {

BusSchedule::BusSchedule(const std::vector<TrafficGenerator>& generators)
    : m_generators(generators) {}

void BusSchedule::Start(std::int64_t nowNs, const BusParams& params) {
  m_running = true;
  m_params = params;
  m_busy = false;
  m_freeNs = nowNs;
  m_stats = Statistics{};
  m_stats.sinceNs = nowNs;
  m_mailboxes.clear();
  // A bus that started in classic mode has no data rate: its CAN FD generator frames (heard only
  // by CAN FD nodes) go at the one rate it has.
  const BusParams fdParams =
      params.fd ? params : BusParams{true, 0, params.bitrate, params.bitrate};
  for (const TrafficGenerator& g : m_generators) {
    for (std::size_t i = 0; i < g.frames(); ++i) {
      CanMessage probe;
      g.Fill(0, i, probe);
      m_mailboxes.push_back({&g, i, ArbitrationKey(probe),
                             FrameDurationNs(probe, g.fd() ? fdParams : params),
                             g.FirstPeriodAfter(nowNs), false});
    }
  }
}

void BusSchedule::Stop() {
  m_running = false;
  m_busy = false;
  m_mailboxes.clear();
  for (Sender& s : m_senders)
    s.queue.clear();
}

void BusSchedule::AddSender(const void* sender, const BusParams& params) {
  RemoveSender(sender);
  m_senders.push_back({sender, params, {}});
}

void BusSchedule::RemoveSender(const void* sender) {
  std::erase_if(m_senders, [&](const Sender& s) { return s.owner == sender; });
}

bool BusSchedule::Queue(const void* sender, std::int64_t nowNs, const CanMessage& message) {
  for (Sender& s : m_senders) {
    if (s.owner != sender) continue;
    if (s.queue.size() >= kTransmitQueue) return false;
    s.queue.push_back({nowNs, message});
    return true;
  }
  return false;
}

std::int64_t BusSchedule::EarliestReady() const noexcept {
  std::int64_t ready = kNever;
  for (const Mailbox& m : m_mailboxes)
    ready = std::min(ready, m.generator->DueNs(m.full ? m.next - 1 : m.next));
  for (const Sender& s : m_senders)
    if (!s.queue.empty()) ready = std::min(ready, s.queue.front().readyNs);
  return ready;
}

// Lowest key wins; of equal keys (two nodes sending the same identifier, which a real bus
// reports as an error) the one ready first, then generators before nodes, then table order.
BusSchedule::Choice BusSchedule::Pick(std::int64_t atNs) const noexcept {
  Choice best;
  std::uint32_t bestKey = 0;
  std::int64_t bestReady = 0;
  const auto better = [&](std::uint32_t key, std::int64_t ready) {
    return (!best.mailbox && !best.sender) || key < bestKey ||
           (key == bestKey && ready < bestReady);
  };
  for (const Mailbox& m : m_mailboxes) {
    const std::int64_t ready = m.generator->DueNs(m.full ? m.next - 1 : m.next);
    if (ready > atNs || !better(m.key, ready)) continue;
    best = {const_cast<Mailbox*>(&m), nullptr};
    bestKey = m.key;
    bestReady = ready;
  }
  for (const Sender& s : m_senders) {
    if (s.queue.empty() || s.queue.front().readyNs > atNs) continue;
    const std::uint32_t key = ArbitrationKey(s.queue.front().message);
    if (!better(key, s.queue.front().readyNs)) continue;
    best = {nullptr, const_cast<Sender*>(&s)};
    bestKey = key;
    bestReady = s.queue.front().readyNs;
  }
  return best;
}

// Every period due by `atNs` enters its mailbox; one still waiting there is replaced.
void BusSchedule::Admit(std::int64_t atNs) noexcept {
  for (Mailbox& m : m_mailboxes) {
    const std::int64_t last = m.generator->FirstPeriodAfter(atNs) - 1;
    if (last < m.next) continue;
    m_stats.overwritten += static_cast<std::uint64_t>(last - m.next) + (m.full ? 1u : 0u);
    m.next = last + 1;
    m.full = true;
  }
}

void BusSchedule::StartFrame(std::int64_t atNs) noexcept {
  Admit(atNs);
  const Choice choice = Pick(atNs);
  BusFrame& f = m_onWire;
  if (choice.mailbox) {
    Mailbox& m = *choice.mailbox;
    m.generator->Fill(m.next - 1, m.index, f.message);
    f.message.channel = -1;
    f.sender = nullptr;
    f.params = m_params;
    f.endNs = atNs + m.durationNs;
    m.full = false;
  } else {
    Sender& s = *choice.sender;
    f.message = s.queue.front().message;
    f.sender = s.owner;
    f.params = s.params;
    f.endNs = atNs + FrameDurationNs(f.message, s.params);
    s.queue.pop_front();
  }
  f.startNs = atNs;
  m_busy = true;
}

bool BusSchedule::Next(std::int64_t untilNs, BusFrame& frame) noexcept {
  while (m_running) {
    if (m_busy) {
      if (m_onWire.endNs > untilNs) return false;
      frame = m_onWire;
      m_busy = false;
      m_freeNs = m_onWire.endNs;
      ++m_stats.frames;
      m_stats.busyNs += m_onWire.endNs - m_onWire.startNs;
      return true;
    }
    const std::int64_t ready = EarliestReady();
    if (ready == kNever) return false;
    const std::int64_t start = std::max(m_freeNs, ready);
    if (start > untilNs) return false;
    StartFrame(start);
  }
  return false;
}

void BusSchedule::Skip(std::int64_t deltaNs) noexcept {
  if (!m_running || deltaNs <= 0) return;
  if (m_busy) {
    m_onWire.startNs += deltaNs;
    m_onWire.endNs += deltaNs;
  }
  m_freeNs += deltaNs;
  m_stats.sinceNs += deltaNs;
  for (Sender& s : m_senders)
    for (Pending& p : s.queue)
      p.readyNs += deltaNs;
  for (Mailbox& m : m_mailboxes) {
    // A period waiting in the mailbox keeps its place; the ones after it are due later.
    const std::int64_t next =
        m.generator->FirstPeriodAfter(m.generator->DueNs(m.next) + deltaNs - 1);
    m.next = std::max(m.next, next);
  }
}

std::int64_t BusSchedule::NextEndNs() const noexcept {
  if (!m_running) return kNever;
  if (m_busy) return m_onWire.endNs;
  const std::int64_t ready = EarliestReady();
  if (ready == kNever) return kNever;
  const std::int64_t start = std::max(m_freeNs, ready);
  const Choice choice = Pick(start);
  if (choice.mailbox) return start + choice.mailbox->durationNs;
  return start + FrameDurationNs(choice.sender->queue.front().message, choice.sender->params);
}

}  // namespace XeCanDriverKvaser::detail
