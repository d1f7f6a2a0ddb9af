#include "host/candriver/DeliveryTracker.h"

#include <algorithm>

#include "host/services/Host.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {

DeliveryTracker& DeliveryTracker::Get() {
  return host::CurrentHost().Get<DeliveryTracker>();
}

void DeliveryTracker::Add(Receiver& receiver) {
  std::lock_guard lock(m_mutex);
  m_receivers.push_back(&receiver);
}

void DeliveryTracker::Remove(Receiver& receiver) {
  {
    const std::lock_guard deliverLock(m_deliverMutex);
    std::lock_guard lock(m_mutex);
    m_receivers.erase(std::remove(m_receivers.begin(), m_receivers.end(), &receiver),
                      m_receivers.end());
  }
  m_cv.notify_all();
}

void DeliveryTracker::SetPort(Receiver& receiver, CanPort* port) {
  {
    std::lock_guard lock(m_mutex);
    receiver.port = port;
    std::lock_guard progressLock(receiver.mutex);
    receiver.delivered = FetchResult{};
    receiver.delivered.epoch = ~std::uint64_t{0};
  }
  m_cv.notify_all();
}

// The progress is stored before the waiter count is read; a waiter counts itself before it reads
// the progress. So either the waiter sees this progress or this thread sees the waiter.
void DeliveryTracker::Publish(Receiver& receiver, const FetchResult& result) {
  {
    std::lock_guard lock(receiver.mutex);
    receiver.delivered = result;
  }
  if (m_waiters.load() > 0) {
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
  }
}

bool DeliveryTracker::ReplayFinished(int channel) {
  std::lock_guard lock(m_mutex);
  for (const Receiver* r : m_receivers)
    if (r->port && r->port->channel() == channel && r->port->onBus() && r->port->Finished())
      return true;
  return false;
}

std::optional<std::int64_t> DeliveryTracker::ReplayNextDue(int channel) {
  std::lock_guard lock(m_mutex);
  for (const Receiver* r : m_receivers)
    if (r->port && r->port->channel() == channel && r->port->onBus() &&
        (r->port->Finished() || r->port->NextDueNs() != kNever))
      return r->port->NextDueNs();
  return std::nullopt;
}

// Only the receivers with something due by now are woken and waited for: a port's last progress
// tells how far it has delivered (a replay up to its next frame, a virtual bus up to the end of its
// next frame unless someone has sent since), and --fast moves the clock to many times at which
// most channels have nothing new.
// A reception thread that was already in a round when inline delivery began would hand out what
// became due meanwhile on its own thread; it is let finish first, so that from here on only the
// caller delivers.
void DeliveryTracker::SetInline(bool on) {
  std::vector<std::function<void()>> calls;
  {
    std::lock_guard lock(m_mutex);
    m_inline.store(on, std::memory_order_release);
    for (const Receiver* r : m_receivers)
      calls.push_back(on ? r->settle : r->resume);
  }
  for (const auto& call : calls)
    if (call) call();
}

// What the monitors do may make more due by now on other channels (a frame sent ends later, but a
// bound keeps a port that never catches up from holding the caller for ever).
bool DeliveryTracker::DeliverHere(std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  const std::lock_guard deliverLock(m_deliverMutex);
  for (;;) {
    const std::int64_t now = host::HostClock().now_ns();
    std::vector<Receiver*> due;
    {
      std::lock_guard lock(m_mutex);
      for (Receiver* r : m_receivers) {
        if (!r->port || !r->port->onBus()) continue;
        const std::uint64_t epoch = r->port->epoch();
        if (!Reached({r, r->port, r->port->PendingSeq(), epoch}, now)) due.push_back(r);
      }
    }
    if (due.empty()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    for (Receiver* r : due)
      r->deliverHere();
  }
}

bool DeliveryTracker::WaitUntilDelivered(std::chrono::milliseconds bound) {
  if (Inline()) return DeliverHere(bound);
  const std::int64_t now = host::HostClock().now_ns();
  std::unique_lock lock(m_mutex);
  std::vector<Target> targets;
  for (Receiver* r : m_receivers) {
    if (!r->port || !r->port->onBus()) continue;
    // The epoch first: a message queued after it was read still counts in the sequence read next.
    const std::uint64_t epoch = r->port->epoch();
    const Target target{r, r->port, r->port->PendingSeq(), epoch};
    if (Reached(target, now)) continue;
    targets.push_back(target);
    r->port->Interrupt();
  }
  // A receiver that went away, or whose port went off or on bus meanwhile, has nothing left
  // to wait for.
  const auto done = [&] {
    for (const Target& t : targets) {
      if (std::find(m_receivers.begin(), m_receivers.end(), t.receiver) == m_receivers.end() ||
          t.receiver->port != t.port || t.port->epoch() != t.epoch)
        continue;
      if (!Reached(t, now)) return false;
    }
    return true;
  };
  if (targets.empty()) return true;
  m_waiters.fetch_add(1);
  const bool delivered = m_cv.wait_for(lock, bound, done);
  m_waiters.fetch_sub(1);
  return delivered;
}

bool DeliveryTracker::Reached(const Target& target, std::int64_t now) {
  std::lock_guard progressLock(target.receiver->mutex);
  const FetchResult& d = target.receiver->delivered;
  return d.epoch == target.epoch && d.seq >= target.seq && d.through >= now;
}

}  // namespace XeCanDriverKvaser::detail
