#include "host/mfc/Text.h"

#include <charconv>
#include <cstdio>

namespace mfc {
namespace {

// Length of the UTF-8 sequence at the start of `s` (2..4), or 0 when it is not one.
std::size_t Utf8Sequence(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  const std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || lead >= 0xF5 || s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

bool ParseWholeNumber(std::string_view s, long long& value, int base) {
  bool minus = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    minus = s[0] == '-';
    s.remove_prefix(1);
  }
  if (base != 10 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (base == 0) base = 10;
  // from_chars takes a sign of its own: "--9..." would come back as the most negative number.
  if (s.empty() || s[0] == '-') return false;
  long long v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  value = minus ? -v : v;
  return true;
}

std::string QuoteToken(std::string_view token) {
  std::string out(1, '\'');
  std::size_t shown = 0;
  while (!token.empty()) {
    if (shown == kQuotedTokenMax) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(token[0]);
    std::size_t used = 1;
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (const std::size_t n = c >= 0x80 ? Utf8Sequence(token) : 0; n > 0) {
      out.append(token.substr(0, n));
      used = n;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
    token.remove_prefix(used);
    ++shown;
  }
  return out + '\'';
}

}  // namespace mfc
