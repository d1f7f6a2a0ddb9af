#include "host/cananalysis/DbcNumber.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace XeCanAnalysis {
namespace {

bool IsHex(std::string_view text) noexcept {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Magnitude of an unsigned decimal or hexadecimal integer text.
bool ParseMagnitude(std::string_view text, std::uint64_t& out) noexcept {
  int base = 10;
  if (IsHex(text)) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  std::uint64_t value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  out = value;
  return true;
}

// Splits a leading sign off; true for a minus.
bool TakeSign(std::string_view& text) noexcept {
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    const bool minus = text[0] == '-';
    text.remove_prefix(1);
    return minus;
  }
  return false;
}

}  // namespace

bool ParseDbcDouble(std::string_view text, double& out) noexcept {
  const bool minus = TakeSign(text);
  if (text.empty()) return false;
  double value = 0.0;
  if (IsHex(text)) {
    std::uint64_t magnitude = 0;
    if (!ParseMagnitude(text, magnitude)) return false;
    value = static_cast<double>(magnitude);
  } else {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  }
  out = minus ? -value : value;
  return true;
}

bool ParseDbcUInt(std::string_view text, std::uint64_t& out) noexcept {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (ParseMagnitude(text, out)) return true;
  double value = 0.0;
  if (!ParseDbcDouble(text, value) || value < 0.0 || value != std::floor(value) ||
      value >= 18446744073709551616.0)
    return false;
  out = static_cast<std::uint64_t>(value);
  return true;
}

bool ParseDbcInt(std::string_view text, std::int64_t& out) noexcept {
  std::string_view rest = text;
  const bool minus = TakeSign(rest);
  std::uint64_t magnitude = 0;
  if (!ParseDbcUInt(rest, magnitude)) return false;
  constexpr std::uint64_t kMax =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (minus) {
    if (magnitude > kMax + 1) return false;
    out = magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                : -static_cast<std::int64_t>(magnitude);
  } else {
    if (magnitude > kMax) return false;
    out = static_cast<std::int64_t>(magnitude);
  }
  return true;
}

}  // namespace XeCanAnalysis
