#pragma once
// The timeline of one virtual bus: which frame is on the wire when. Frames wait in their
// sender's transmit queue until the bus is free; then, of all frames ready, the one with the
// highest priority (lowest ArbitrationKey) wins and occupies the bus for FrameDurationNs; the next
// arbitration is at its end. Each identifier of a traffic generator is a sender of its own whose
// queue holds one frame: a period that comes due while the one before still waits replaces it
// (counted as overwritten), as a periodic message's buffer does in a node that falls behind. A
// node's queue holds kTransmitQueue frames; a frame beyond is refused.
//
// Everything is a function of the calls' host times, so a manual clock gives the same timeline
// every run. Not thread-safe: the bus calls it under its mutex.
#include <cstdint>
#include <deque>
#include <vector>

#include "host/candriver/CanPort.h"
#include "host/candriver/TrafficGenerator.h"

namespace XeCanDriverKvaser::detail {

// One frame that went over the bus.
struct BusFrame {
  CanMessage message;            // as sent; channel: the sender's, -1 for a generator
  std::int64_t startNs = 0;      // host time of its start-of-frame bit
  std::int64_t endNs = 0;        // host time its intermission ends: receivers stamp this
  const void* sender = nullptr;  // the sending node, null for a generator
  BusParams params;              // the rates it was sent at
};

class BusSchedule {
 public:
  static constexpr std::size_t kTransmitQueue = 64;

  struct Statistics {
    std::uint64_t frames = 0;       // frames that went over the bus
    std::int64_t busyNs = 0;        // time they occupied it
    std::int64_t sinceNs = 0;       // host time the bus started
    std::uint64_t overwritten = 0;  // generator frames replaced before the bus was free for them
  };

  explicit BusSchedule(const std::vector<TrafficGenerator>& generators);

  // The first node joined at `nowNs`: the bus runs at its rates; generators start with their
  // first period after `nowNs`.
  void Start(std::int64_t nowNs, const BusParams& params);
  // The last node left: every pending frame is dropped.
  void Stop();
  bool running() const noexcept { return m_running; }
  // A frame is on the wire (started, not yet handed out by Next).
  bool busy() const noexcept { return m_busy; }

  void AddSender(const void* sender, const BusParams& params);
  void RemoveSender(const void* sender);
  // Queues a frame of `sender`, ready at `nowNs` (not before the last call's time). False when
  // the sender's queue is full.
  bool Queue(const void* sender, std::int64_t nowNs, const CanMessage& message);
  // The next frame that has ended by `untilNs`, in bus order; false once there is none.
  bool Next(std::int64_t untilNs, BusFrame& frame) noexcept;
  // End of the next frame as far as known now (kNever: nothing is pending).
  std::int64_t NextEndNs() const noexcept;
  // Time stands still for `deltaNs` (a manual clock jumps over a stretch in which nothing is to
  // happen): the frame on the wire and the frames waiting move on by as much, and each generator
  // goes on with its first period due at least `deltaNs` after the one it waits for, none of those
  // between counted as overwritten.
  void Skip(std::int64_t deltaNs) noexcept;

  const Statistics& statistics() const noexcept { return m_stats; }

 private:
  struct Mailbox {  // one identifier of a generator
    const TrafficGenerator* generator;
    std::size_t index;        // identifier index in the generator
    std::uint32_t key;        // ArbitrationKey
    std::int64_t durationNs;  // FrameDurationNs at the bus's rates
    std::int64_t next = 0;    // next period not yet due
    bool full = false;        // period next - 1 waits
  };
  struct Pending {
    std::int64_t readyNs;
    CanMessage message;
  };
  struct Sender {
    const void* owner;
    BusParams params;
    std::deque<Pending> queue;
  };
  struct Choice {
    Mailbox* mailbox = nullptr;
    Sender* sender = nullptr;
  };

  std::int64_t EarliestReady() const noexcept;
  Choice Pick(std::int64_t atNs) const noexcept;
  void Admit(std::int64_t atNs) noexcept;
  void StartFrame(std::int64_t atNs) noexcept;

  const std::vector<TrafficGenerator>& m_generators;
  bool m_running = false;
  BusParams m_params;
  std::vector<Mailbox> m_mailboxes;
  std::vector<Sender> m_senders;
  bool m_busy = false;
  BusFrame m_onWire;
  std::int64_t m_freeNs = 0;  // the bus is free from this time
  Statistics m_stats;
};

}  // namespace XeCanDriverKvaser::detail
