#pragma once
// Knows, for every controller that receives, how far its reception thread has delivered, so
// that WaitUntilDelivered can wait for exactly the work due now instead of sleeping.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "host/candriver/CanPort.h"

namespace XeCanDriverKvaser::detail {

class DeliveryTracker {
 public:
  // One receiving controller.
  struct Receiver {
    CanPort* port = nullptr;  // guarded by the tracker's mutex
    std::mutex mutex;         // guards the progress below
    FetchResult delivered;    // the last Fetch whose messages the monitors have returned from
    // Set before Add: hands out and delivers on the calling thread what is due now (inline
    // delivery); wakes the reception thread after inline delivery ends.
    std::function<void()> deliverHere;
    std::function<void()> resume;
    // Inline delivery begins: returns once the reception thread is out of the round it may be in.
    std::function<void()> settle;
  };

  // [any] The current host's tracker.
  static DeliveryTracker& Get();

  // [processing] A controller starts / stops existing.
  void Add(Receiver& receiver);
  void Remove(Receiver& receiver);
  // [processing] The port a controller's thread fetches from (null: none).
  void SetPort(Receiver& receiver, CanPort* port);
  // [reception] The monitors have returned for everything `result` handed out.
  void Publish(Receiver& receiver, const FetchResult& result);
  // [any] See XeCanDriverKvaser::WaitUntilDelivered.
  bool WaitUntilDelivered(std::chrono::milliseconds bound);
  // [ui] See XeCanDriverKvaser::ScopedInlineDelivery.
  void SetInline(bool on);
  // [any] Whether reception threads leave the delivery to WaitUntilDelivered's caller.
  bool Inline() const noexcept { return m_inline.load(std::memory_order_acquire); }
  // [any] See XeCanDriverKvaser::ReplayFinished.
  bool ReplayFinished(int channel);
  // [any] See XeCanDriverKvaser::ReplayNextDue.
  std::optional<std::int64_t> ReplayNextDue(int channel);

 private:
  // What one wait waits for of one receiver.
  struct Target {
    Receiver* receiver;
    CanPort* port;
    std::uint64_t seq;    // PendingSeq when the wait began
    std::uint64_t epoch;  // the port's epoch then
  };
  // Whether the receiver's monitors have returned from everything of `target` due by `now`.
  static bool Reached(const Target& target, std::int64_t now);

  // Inline delivery: delivers for every receiver with something due until none has.
  bool DeliverHere(std::chrono::milliseconds bound);

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Receiver*> m_receivers;
  std::atomic<int> m_waiters{0};
  std::atomic<bool> m_inline{false};
  // Held while a thread delivers inline, and by Remove: a receiver is not delivered for after it
  // is gone. Taken before m_mutex, never while it is held.
  std::mutex m_deliverMutex;
};

}  // namespace XeCanDriverKvaser::detail
