#pragma once
// Small helpers for the host's line-based text files.
#include <string_view>

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

}  // namespace mfc
