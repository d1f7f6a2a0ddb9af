#pragma once
// A virtual CAN bus: the channels configured on it, while on bus, hear each other as on a real
// bus (BusSchedule: transmission time at the bus's rates, arbitration by priority, bounded
// transmit queues). A frame a node sends reaches every other handle on the bus that is on bus
// with the same mode and bit rates (other handles of the sending channel included, as local echo
// does on hardware), stamped with the host time its transmission ended. The bus also carries the
// traffic generators configured for it, at the rates of the first node that went on bus; every
// node hears them (CAN FD ones only nodes opened in CAN FD mode).
//
// Frames that have gone over the bus are kept in one ring that every member reads at its own
// pace. The ring holds what the slowest member has not read yet: it starts small and doubles when
// a member falls behind, up to kReceiveQueue frames; a member that falls further behind loses the
// oldest (counted per member, reported with its next Fetch). Once the members have caught up, the
// ring is halved back towards its initial size, at most once a second. The timeline advances whenever a
// member fetches or sends, up to the host clock's time.
#include <atomic>
#include <bit>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/candriver/BusSchedule.h"
#include "host/candriver/CanMessage.h"
#include "host/candriver/TrafficGenerator.h"
#include "host/services/LogThrottle.h"

namespace XeCanDriverKvaser::detail {

class VirtualPort;

class VirtualBus {
 public:
  static constexpr std::size_t kReceiveQueue = 32768;
  // Members that keep up need a few batches of a busy bus; a power of two, as the bound is.
  static constexpr std::size_t kInitialRing = 256;
  static_assert(std::has_single_bit(kReceiveQueue) && std::has_single_bit(kInitialRing) &&
                kInitialRing <= kReceiveQueue);

  // What a Fetch found besides the frames.
  struct Fetched {
    FetchResult result;
    std::int64_t nextNs = kNever;   // end of the next frame, when the member has read everything
    std::uint64_t overwritten = 0;  // generator frames to report as not sent (0: nothing now)
  };

  VirtualBus(std::string name, std::vector<TrafficGenerator> generators);
  VirtualBus(const VirtualBus&) = delete;
  VirtualBus& operator=(const VirtualBus&) = delete;

  const std::string& name() const noexcept { return m_name; }
  const std::vector<TrafficGenerator>& generators() const noexcept { return m_generators; }

  // [ui, processing] A port goes on bus / off bus; its queued frames are dropped when it leaves.
  void Join(VirtualPort& port);
  void Leave(VirtualPort& port);
  // [any] Queues a frame (already checked) for the bus. False when `from` is not on the bus or
  // its transmit queue is full; `refused` is then set to the refusals to report now (0: none).
  bool Send(const VirtualPort& from, const CanMessage& message, std::uint64_t& refused);
  // [reception] Up to `capacity` frames for `port`, in bus order, stamped with its clock.
  Fetched Fetch(const VirtualPort& port, CanMessage* out, std::size_t capacity) noexcept;
  // [any] Frames queued for the bus so far: a Fetch's `through` holds until this moves on.
  std::uint64_t Sends() const noexcept { return m_sends.load(std::memory_order_acquire); }
  // [any] The bus's figures so far (since the first node went on bus).
  BusSchedule::Statistics Statistics();
  // [ui] See XeCanDriverKvaser::SkipBusTime: what ends by now goes over the bus first, then the
  // rest of the timeline moves on by `deltaNs`.
  void SkipTime(std::int64_t deltaNs);

 private:
  struct Member {
    VirtualPort* port;
    // Sequence number of the next frame to read; a frame on the wire when the member joined
    // is skipped, as a node that joins mid-frame cannot follow it.
    std::uint64_t cursor;
    std::uint64_t lost = 0;  // frames it would have heard, overwritten unread
    host::LogThrottle refusals;
  };
  static bool Hears(const Member& member, const BusFrame& frame) noexcept;
  void AdvanceLocked(std::int64_t nowNs) noexcept;
  void PushLocked(const BusFrame& frame) noexcept;
  bool GrowLocked() noexcept;
  void ShrinkLocked(std::int64_t nowNs) noexcept;
  BusFrame& Slot(std::uint64_t seq) noexcept { return m_ring[seq & (m_ring.size() - 1)]; }
  Member* FindLocked(const VirtualPort& port) noexcept;

  const std::string m_name;
  const std::vector<TrafficGenerator> m_generators;
  std::mutex m_mutex;
  // Guarded by m_mutex.
  BusSchedule m_schedule;
  std::vector<Member> m_members;
  std::vector<BusFrame> m_ring;  // frame s at Slot(s); a power of two up to kReceiveQueue
  std::uint64_t m_total = 0;     // frames pushed into the ring
  std::uint64_t m_overwrittenSeen = 0;
  host::LogThrottle m_overwrites;
  std::int64_t m_shrinkCheckNs = 0;       // when the ring's size was last weighed against its use
  std::atomic<std::uint64_t> m_sends{0};  // see Sends(); moves under m_mutex
};

}  // namespace XeCanDriverKvaser::detail
