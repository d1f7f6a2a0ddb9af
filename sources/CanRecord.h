#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/candriver/CanMessage.h"

// A received message with its sort key: the element of the sources' batches and of the source
// module's buffer.
struct CanRecord {
  std::uint32_t stamp;                    // copy of message.timestamp: 125 µs ticks, wraps at 2^32
  XeCanDriverKvaser::CanMessage message;  // the message as received
  // The stamp on the host time line, 125 µs ticks; set by the source module when it merges the
  // record into its buffer (0 until then).
  std::int64_t time = 0;
};

// A vector of records keeps the capacity it grew to in a burst (the processing thread stalled, a
// suspend, a busy second): up to a whole bounded queue per source. Once such a vector is empty and
// far larger than what the traffic now needs, its memory is given back, so the resident size of a
// long run returns to its level after each burst. Allocates nothing.
inline void ReleaseAfterBurst(std::vector<CanRecord>& records, std::size_t needed) noexcept {
  constexpr std::size_t kAlwaysKept = 1024;  // about 100 kB: a busy frame of one channel
  if (records.empty() && records.capacity() > kAlwaysKept && records.capacity() / 8 > needed)
    std::vector<CanRecord>().swap(records);
}
