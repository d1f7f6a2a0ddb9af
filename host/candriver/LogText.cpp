#include "host/candriver/LogText.h"

#include <algorithm>
#include <charconv>

namespace XeCanDriverKvaser::logtext {

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool AllDigits(std::string_view text) noexcept {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool ParseNumber(std::string_view text, int base, std::uint32_t& value) noexcept {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseSeconds(std::string_view text, std::int64_t& ns) noexcept {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  // Ten digits reach past what nanoseconds in 64 bits hold (year 2262).
  if (!AllDigits(whole) || whole.size() > 10) return false;
  std::int64_t seconds = 0;
  for (const char c : whole)
    seconds = seconds * 10 + (c - '0');
  if (seconds >= kMaxLogSeconds) return false;
  std::int64_t fraction = 0;
  if (dot != std::string_view::npos) {
    const std::string_view digits = text.substr(dot + 1);
    if (!digits.empty() && !AllDigits(digits)) return false;
    for (std::size_t i = 0; i < 9; ++i)
      fraction = fraction * 10 + (i < digits.size() ? digits[i] - '0' : 0);
  }
  ns = seconds * 1'000'000'000 + fraction;
  return true;
}

char* WriteHex(char* out, std::uint32_t value, int digits) noexcept {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = kHex[value & 0xF];
    value >>= 4;
  }
  return out + digits;
}

char* WriteHex(char* out, std::uint32_t value) noexcept {
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0)
    ++digits;
  return WriteHex(out, value, digits);
}

char* WriteMicroseconds(char* out, std::int64_t ns) noexcept {
  const std::int64_t micros = (std::max<std::int64_t>(ns, 0) + 500) / 1000;
  out = std::to_chars(out, out + 24, micros / 1'000'000).ptr;
  *out++ = '.';
  for (std::int64_t unit = 100'000, rest = micros % 1'000'000; unit > 0; unit /= 10)
    *out++ = static_cast<char>('0' + rest / unit % 10);
  return out;
}

char* WriteRight(char* out, std::uint64_t value, int width) noexcept {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(end - digits);
  for (int i = length; i < width; ++i)
    *out++ = ' ';
  return std::copy(digits, end, out);
}

}  // namespace XeCanDriverKvaser::logtext
