#pragma once
// Knows, for every controller that receives, how far its reception thread has delivered, so
// that WaitUntilDelivered can wait for exactly the work due now instead of sleeping.
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
  };

  // [any] The process-wide tracker.
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

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Receiver*> m_receivers;
  std::atomic<int> m_waiters{0};
};

}  // namespace XeCanDriverKvaser::detail
