#pragma once
// Small helpers for the host's line-based text files.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace mfc {
namespace detail {

// The first blank or tab of data[from, size), or size.
inline std::size_t NextBlank(const char* data, std::size_t from, std::size_t size) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101U;
    constexpr std::uint64_t kHighs = 0x8080808080808080U;
    for (; from + 8 <= size; from += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, data + from, 8);
      const std::uint64_t blanks = word ^ (kOnes * ' ');
      const std::uint64_t tabs = word ^ (kOnes * '\t');
      // A zero byte sets its high bit here; a borrow can set bits only above the first one, and
      // only the first is used.
      const std::uint64_t found =
          ((blanks - kOnes) & ~blanks & kHighs) | ((tabs - kOnes) & ~tabs & kHighs);
      if (found != 0) return from + static_cast<std::size_t>(std::countr_zero(found) / 8);
    }
  }
  while (from < size && data[from] != ' ' && data[from] != '\t')
    ++from;
  return from;
}

}  // namespace detail

// The text without leading blanks and tabs and without trailing blanks, tabs and a CR (so a CRLF
// file reads like an LF file):  "  a b \t\r" -> "a b".
constexpr std::string_view TrimBlanks(std::string_view s) noexcept {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}
static_assert(TrimBlanks("  a b \t\r") == "a b" && TrimBlanks(" \t").empty());

// Replaces `words` with the runs of `line` between blanks and tabs:  " a\tbc  d" -> a, bc, d.
// Every line of a text log goes through here, so a word's end is looked for eight bytes at a time.
inline void SplitBlanks(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  const char* const data = line.data();
  const std::size_t size = line.size();
  std::size_t i = 0;
  while (i < size) {
    while (i < size && (data[i] == ' ' || data[i] == '\t'))
      ++i;
    const std::size_t start = i;
    i = detail::NextBlank(data, i, size);
    if (i > start) words.emplace_back(data + start, i - start);
  }
}
// Characters of a token an error message shows; the rest is cut and marked with "...".
inline constexpr std::size_t kQuotedTokenMax = 60;

// [any] A whole number in `base` (10 or 16) with an optional sign; base 0 takes "0x..." as hex and
// anything else as decimal; base 16 also takes the "0x". False for anything else, blanks included.
//   "-12" (10)  -> -12        "+7" (10)   -> 7        "0x1F" (0 or 16) -> 31
//   "1F" (0)    -> false      "--9" (10)  -> false    "" -> false
bool ParseWholeNumber(std::string_view text, long long& value, int base);

// [any] A token of the user's input as an error message shows it: in single quotes, control
// characters, DEL, backslashes and bytes that are not UTF-8 escaped, at most kQuotedTokenMax
// characters (a 10 MB token or a binary file gives one short line). A new string.
//   abc               -> 'abc'
//   a<TAB>b<0x01>     -> 'a\tb\x01'
//   Größe (UTF-8)     -> 'Größe'
//   <0xFF>            -> '\xFF'
//   70 times "A"      -> 'AAA...A...' (60 A, then ...)
std::string QuoteToken(std::string_view token);

}  // namespace mfc
