#pragma once
// Identifier ranges of the standard source's filter table.
#include <cstdint>
#include <list>
#include <tuple>

// (start ID, stop ID, active); both IDs inclusive, within 0..kMaxCanId.
using IdRange = std::tuple<int, int, bool>;
using IdRangeList = std::list<IdRange>;

// The identifier space handled: 2^30 - 1, one bit wider than a 29-bit extended identifier.
inline constexpr int kMaxCanId = 1073741823;

// Traffic of one identifier.
struct IdStat {
  std::uint32_t count = 0;  // messages since the last reset
  bool pass = false;        // active flag of the range holding the ID (cached)
};
