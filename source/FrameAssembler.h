#pragma once
// The per-frame core of the CAN source module: merges the channels' batches into one buffer in
// host-time order, and fills a frame's region with the CAN packets whose time falls into it, each at
// the byte that encodes its time (frame/CanPacket.h). It knows the channels only as lanes: the
// clock that maps a record's stamp to host time, and the counters of what became of the records.
//
// Threads: merge, fill and count_waiting run on [processing] while frames run; routes and clear on
// [ui] only while no frame runs (the module's sources, and with them its lanes, do not change
// then). No lock of its own.
#include <array>
#include <cstdint>
#include <vector>

#include "host/timemachine/CTimeCapsule.h"
#include "sources/CanRecord.h"

// One channel as the frame sees it.
struct ChannelLane {
  // What became of the lane's records since start.
  struct Counters {
    std::uint64_t delivered = 0;
    std::uint64_t old = 0;
    std::uint64_t noRoom = 0;  // in time, but earlier packets took the room within the slack
    std::uint64_t future = 0;
  };

  // The channel's clock on the host time line: 24-bit raw counter, 125 µs ticks.
  CTimeCapsule capsule{24, 0};
  // The channel's last clock reading, all 32 bits; the capsule keeps only the low 24.
  std::uint32_t lastRaw = 0;
  Counters counters;
  // Records of the lane in the buffer, as of the last FrameAssembler::count_waiting.
  std::uint64_t waiting = 0;

  // [processing] The host time of a record of this channel, ticks (see the .cpp).
  std::int64_t time_of(const CanRecord& record) const noexcept;
};

class FrameAssembler {
 public:
  // A record this many ticks before the frame start is old (also the slack of late placement).
  static constexpr std::int64_t kOldTolerance = 10;

  // Where one frame's packets go and how its time maps onto bytes.
  struct Frame {
    std::uint8_t* bytes;      // the region, zeroed by the caller
    std::uint32_t capacity;   // bytes of the region; a packet that would reach its end waits
    float bytesPerTick;       // bytes of the region per 125 µs tick
    std::int64_t start;       // host time of the region's first byte, ticks
    std::int64_t futureFrom;  // a record after this host time is implausible, ticks
  };
  // What one fill did, for the module's log lines.
  struct Tally {
    int processed = 0;  // packets written
    int old = 0;        // dropped: too old, or no room within the slack
    int unrouted = 0;   // dropped: no lane on the record's channel
    int future = 0;     // discarded: a record implausibly far ahead, and every one after it
  };

  FrameAssembler() { clear_routes(); }

  // [ui] Forgets every route; records of all channels then go unrouted.
  void clear_routes() noexcept;
  // [ui] Routes the channel's records to the lane (not owned; it outlives the route). The first
  // lane given for a channel keeps it: later ones get no records. Zeroes the lane's waiting count.
  void add_route(int channel, ChannelLane* lane);
  // [any] The lane of the channel's records, or null.
  ChannelLane* lane_of(int channel) const noexcept;

  // [processing] Gives each record of the batch its host time on its channel's lane (the stamp
  // itself without one) and takes the batch into the next merge. The batch belongs to its source:
  // merge copies it out or swaps it with an empty vector; the source refills it. A batch is in
  // reception order and holds one channel's records.
  void add_batch(std::vector<CanRecord>& batch);
  // [processing] Merges the batches added since the last merge into the buffer by host time,
  // stably: of equal times the waiting records come first, then the batches in the order added.
  void merge();
  // [processing] Writes the buffer's records that belong to the frame and drops the ones too old
  // for it; counts both on their lanes. A record that does not fit waits for the next frame.
  Tally fill(const Frame& frame) noexcept;
  // [processing] Sets every routed lane's waiting count from the buffer.
  void count_waiting() noexcept;

  // [processing] Records waiting for a later frame, ascending host time.
  const std::vector<CanRecord>& buffer() const noexcept { return m_buffer; }
  // [ui] Drops every waiting record.
  void clear() noexcept { m_buffer.clear(); }

 private:
  // Counts the records from `from` on as future on their lanes and drops them.
  int discard_future(std::size_t from) noexcept;

  std::vector<CanRecord> m_buffer;                 // waiting for delivery, ascending host time
  std::vector<CanRecord> m_scratch;                // merge target, swapped with m_buffer
  std::vector<std::vector<CanRecord>*> m_batches;  // added since the last merge, not empty
  struct Run {
    CanRecord* next;
    CanRecord* end;
  };
  struct Head {
    std::int64_t time;
    std::size_t run;
  };
  std::vector<Run> m_runs;    // the buffer and the batches being merged
  std::vector<Head> m_heads;  // heap of the runs' first records
  // Lane of channels 0..255; other channels (none in practice) are looked up in m_otherRoutes.
  std::array<ChannelLane*, 256> m_routes{};
  struct Route {
    int channel;
    ChannelLane* lane;
  };
  std::vector<Route> m_otherRoutes;
};
