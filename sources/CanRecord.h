#pragma once
#include <cstdint>

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
