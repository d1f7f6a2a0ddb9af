#pragma once
// Token rules the text log formats (candump, ASC, TRC) share: numbers that fill their token, hex
// digits, log times as exact nanoseconds; and the writing of numbers into their lines.
#include <array>
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
// The value of each character as a hex digit, -1 for any other: a log's data bytes are most of
// its text, and a look-up that inlines reads them several times faster than a call per digit.
inline constexpr auto kHexDigits = [] {
  std::array<std::int8_t, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[static_cast<std::size_t>(c)] =
        static_cast<std::int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1);
  return table;
}();
static_assert(kHexDigits['7'] == 7 && kHexDigits['b'] == 11 && kHexDigits['F'] == 15 &&
              kHexDigits['g'] == -1 && kHexDigits[0xC1] == -1);

// [any] The value of a hex digit; -1 for any other character.
inline int HexDigit(char c) noexcept {
  return kHexDigits[static_cast<unsigned char>(c)];
}

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
