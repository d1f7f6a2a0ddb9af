#pragma once
// One frame of a CAN traffic log (candump, ASC), or one line that could not be read.
#include <cstdint>
#include <string>

#include "host/candriver/CanMessage.h"

namespace XeCanDriverKvaser {

// Log times are below this many seconds (about the year 2096 in candump's seconds since 1970);
// later ones are read as errors. Two log times then differ by less than 2^62 ns.
inline constexpr std::int64_t kMaxLogSeconds = 4'000'000'000;

struct CanLogEntry {
  // Log time in ns as written (candump: usually since 1970; ASC: since the measurement start).
  std::int64_t timeNs = 0;
  // The log's interface or channel name ("can0"; ASC: "1").
  std::string channel;
  // The frame; its channel and timestamp are 0.
  CanMessage message;
  // Line in the file, from 1.
  int line = 0;
  // Set for a line that could not be read: "<file>:<line>: <reason>"; nothing else is then set.
  std::string error;

  double seconds() const noexcept { return static_cast<double>(timeNs) / 1e9; }
};

}  // namespace XeCanDriverKvaser
