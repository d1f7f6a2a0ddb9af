#pragma once
// One frame of a CAN traffic log (candump, ASC, BLF, TRC), or one place that could not be read.
#include <cstdint>
#include <string>
#include <string_view>

#include "host/candriver/CanMessage.h"

namespace XeCanDriverKvaser {

// Log times are below this many seconds (about the year 2096 in candump's seconds since 1970);
// later ones are read as errors. Two log times then differ by less than 2^62 ns.
inline constexpr std::int64_t kMaxLogSeconds = 4'000'000'000;

struct CanLogEntry {
  // Log time in ns as written (candump: usually since 1970; ASC: since the measurement start; BLF
  // and TRC: the file's start time plus the frame's offset).
  std::int64_t timeNs = 0;
  // The log's interface or channel name ("can0"; ASC, BLF, TRC: the channel number, "1").
  std::string channel;
  // The frame; its channel and timestamp are 0.
  CanMessage message;
  // Where in the file, from 1: the line of a text log, the object of a BLF log (`object` set).
  int line = 0;
  bool object = false;
  // Set for a place that could not be read: "<file>:<line>: <reason>" or
  // "<file>: object <n> ...: <reason>"; nothing else is then set.
  std::string error;

  double seconds() const noexcept { return static_cast<double>(timeNs) / 1e9; }
  // [any] The entry's place for messages: "drive.log:12", "drive.blf: object 57".
  std::string Where(std::string_view file) const {
    std::string where(file);
    where += object ? ": object " : ":";
    where += std::to_string(line);
    return where;
  }
};

}  // namespace XeCanDriverKvaser
