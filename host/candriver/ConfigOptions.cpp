#include "host/candriver/ConfigOptions.h"

#include <charconv>

#include "host/mfc/Text.h"

namespace XeCanDriverKvaser::detail {

bool ConfigOptions::Add(std::string_view token, std::string& error) {
  const std::size_t eq = token.find('=');
  if (eq == std::string_view::npos || eq == 0) {
    error = "expected key=value, found " + mfc::QuoteToken(token);
    return false;
  }
  const std::string_view key = token.substr(0, eq);
  if (Find(key)) {
    error = "option " + mfc::QuoteToken(key) + " given twice";
    return false;
  }
  m_items.emplace_back(std::string(key), std::string(token.substr(eq + 1)));
  return true;
}

const std::string* ConfigOptions::Find(std::string_view key) const noexcept {
  for (const auto& [k, v] : m_items)
    if (k == key) return &v;
  return nullptr;
}

std::string ConfigOptions::CheckKnown(std::initializer_list<std::string_view> known) const {
  for (const auto& [key, value] : m_items) {
    bool found = false;
    for (const std::string_view k : known)
      found = found || k == key;
    if (found) continue;
    std::string reason = "unknown option " + mfc::QuoteToken(key) + " (known:";
    for (const std::string_view k : known)
      reason.append(" ").append(k);
    return reason + ")";
  }
  return {};
}

bool ConfigOptions::ParseInteger(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ConfigOptions::ParseDurationNs(std::string_view text, std::int64_t& ns) {
  std::int64_t scale = 1'000'000;
  if (text.ends_with("ms")) {
    text.remove_suffix(2);
  } else if (text.ends_with("us")) {
    text.remove_suffix(2);
    scale = 1'000;
  } else if (text.ends_with("s")) {
    text.remove_suffix(1);
    scale = 1'000'000'000;
  }
  std::int64_t value = 0;
  if (!ParseInteger(text, value) || value < 0 || value > 86'400'000'000'000 / scale) return false;
  ns = value * scale;
  return true;
}

bool ConfigOptions::ParseDriftPpb(std::string_view text, std::int64_t& ppb) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const std::size_t dot = text.find('.');
  std::int64_t whole = 0;
  if (!ParseInteger(text.substr(0, dot), whole) || whole < 0 || whole > 1000) return false;
  std::int64_t fraction = 0;
  if (dot != std::string_view::npos) {
    const std::string_view digits = text.substr(dot + 1);
    if (digits.empty() || digits.size() > 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
      const char c = i < digits.size() ? digits[i] : '0';
      if (c < '0' || c > '9') return false;
      fraction = fraction * 10 + (c - '0');
    }
  }
  ppb = whole * 1000 + fraction;
  if (ppb > 1'000'000) return false;
  if (negative) ppb = -ppb;
  return true;
}

}  // namespace XeCanDriverKvaser::detail
