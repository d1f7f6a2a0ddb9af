#include "host/mfc/Text.h"

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
