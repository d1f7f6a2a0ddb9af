#pragma once
// Token rules the two text log formats (candump, ASC) share: numbers that fill their token, hex
// digits, log times as exact nanoseconds.
#include <cstdint>
#include <string_view>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser::logtext {

// [any] ASCII letters compared without case.
bool EqualsNoCase(std::string_view a, std::string_view b) noexcept;
// [any] True for a non-empty token of decimal digits only.
bool AllDigits(std::string_view text) noexcept;
// [any] An unsigned number filling the whole token.
bool ParseNumber(std::string_view text, int base, std::uint32_t& value) noexcept;
// [any] "seconds[.fraction]" as exact nanoseconds; digits beyond the ninth decimal are dropped.
// False for a time of kMaxLogSeconds or later, so that sums and differences fit in 64 bits.
bool ParseSeconds(std::string_view text, std::int64_t& ns) noexcept;
// [any] The value of a hex digit; -1 for any other character.
int HexDigit(char c) noexcept;

}  // namespace XeCanDriverKvaser::logtext
