#pragma once
// Small helpers for the host's line-based text files.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mfc {

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
inline void SplitBlanks(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
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
