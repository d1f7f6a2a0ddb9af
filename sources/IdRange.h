#pragma once
// Identifier ranges of the standard source's filter table.
#include <cstdint>
#include <vector>

// The identifier space handled: 2^30 - 1, one bit wider than a 29-bit extended identifier.
inline constexpr int kMaxCanId = 1073741823;

// One row of the filter table.
struct IdRange {
  int start = 0;        // first ID, 0..kMaxCanId
  int stop = 0;         // last ID, inclusive, start..kMaxCanId
  bool active = false;  // messages of these IDs pass
  bool operator==(const IdRange&) const = default;
};
using IdRangeList = std::vector<IdRange>;

// Traffic of one identifier.
struct IdStat {
  std::uint32_t count = 0;  // messages since the last reset
  bool pass = false;        // active flag of the range holding the ID (cached)
};
