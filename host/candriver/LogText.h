#pragma once
// Token rules the text log formats (candump, ASC, TRC) share: numbers that fill their token, hex
// digits, log times as exact nanoseconds; and the writing of numbers into their lines.
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

// [any] Writes `value` as `digits` upper-case hex digits; returns the end.
char* WriteHex(char* out, std::uint32_t value, int digits) noexcept;
// [any] Writes `value` as upper-case hex digits without leading zeros ("0" for 0); returns the end.
char* WriteHex(char* out, std::uint32_t value) noexcept;
// [any] Writes `ns` (>= 0) as seconds rounded to microseconds, "12.345678"; returns the end.
char* WriteMicroseconds(char* out, std::int64_t ns) noexcept;
// [any] Writes `value` in decimal right-aligned in `width` characters (wider when it needs to be);
// returns the end.
char* WriteRight(char* out, std::uint64_t value, int width) noexcept;

}  // namespace XeCanDriverKvaser::logtext
