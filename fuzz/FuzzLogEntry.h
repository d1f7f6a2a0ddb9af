#pragma once
// The checks every log reader's fuzz target makes of what it reads: frames a bus could carry,
// errors that name the file, and an end.
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "host/candriver/CanLogEntry.h"

namespace fuzz {

// A frame or an error entry of a log named `name`.
inline void CheckLogEntry(const XeCanDriverKvaser::CanLogEntry& entry, const std::string& name) {
  using namespace XeCanDriverKvaser;
  if (!entry.error.empty()) {
    Check(entry.error.starts_with(name + ":"));
    return;
  }
  const CanMessage& m = entry.message;
  Check(m.length >= 0 && m.length <= 64);
  Check(entry.timeNs >= 0 && entry.timeNs < kMaxLogSeconds * 1'000'000'000);
  if (m.flags & kCanFlagErrorFrame) return;
  Check(m.id <= ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId));
  if (m.flags & kCanFlagFd) {
    Check(IsFdLength(m.length) && !(m.flags & kCanFlagRemote));
  } else {
    Check(m.length <= 8 && !(m.flags & (kCanFlagBrs | kCanFlagEsi)));
  }
  // Bytes past the length stay zero: consumers may copy the whole array.
  for (int i = (m.flags & kCanFlagRemote) ? 0 : m.length; i < 64; ++i)
    Check(m.data[i] == 0);
}

// Two frames, one read from a log and one from what was written of it: the same.
inline bool SameFrame(const XeCanDriverKvaser::CanLogEntry& a,
                      const XeCanDriverKvaser::CanLogEntry& b) {
  return a.timeNs == b.timeNs && a.channel == b.channel &&
         std::memcmp(&a.message, &b.message, sizeof a.message) == 0;
}

}  // namespace fuzz
