#include "host/candriver/TrafficGenerator.h"

#include <algorithm>
#include <charconv>

#include "host/candriver/ChannelClock.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser::detail {
namespace {

bool ParseHexId(std::string_view text, std::uint32_t& id, bool& extended) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  extended = text.size() == 8 || id > kMaxStandardId;
  return id <= kMaxExtendedId;
}

bool ParseFlag(const ConfigOptions& options, const char* key, bool& value, std::string& error) {
  const std::string* text = options.Find(key);
  if (!text) return true;
  if (*text != "0" && *text != "1") {
    error = std::string(key) + " must be 0 or 1";
    return false;
  }
  value = *text == "1";
  return true;
}

std::uint64_t SplitMix(std::uint64_t x) noexcept {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

std::optional<TrafficGenerator> TrafficGenerator::Parse(const ConfigOptions& options,
                                                        std::string& error) {
  error = options.CheckKnown({"id", "period", "phase", "length", "data", "fd", "brs"});
  if (!error.empty()) return std::nullopt;
  TrafficGenerator g;
  if (!g.ReadIds(options, error) || !g.ReadTiming(options, error) ||
      !g.ReadFrameKind(options, error) || !g.ReadData(options, error) ||
      !g.ReadLength(options, error))
    return std::nullopt;
  return g;
}

bool TrafficGenerator::ReadIds(const ConfigOptions& options, std::string& error) {
  const std::string* ids = options.Find("id");
  if (!ids || ids->empty()) {
    error = "a generator needs id=";
    return false;
  }
  for (std::size_t start = 0; start <= ids->size();) {
    std::size_t comma = ids->find(',', start);
    if (comma == std::string::npos) comma = ids->size();
    std::uint32_t id = 0;
    bool extended = false;
    const std::string_view text = std::string_view(*ids).substr(start, comma - start);
    if (!ParseHexId(text, id, extended)) {
      error = "bad identifier " + mfc::QuoteToken(text);
      return false;
    }
    m_ids.push_back(id);
    m_extended.push_back(extended);
    start = comma + 1;
  }
  return true;
}

bool TrafficGenerator::ReadTiming(const ConfigOptions& options, std::string& error) {
  const std::string* period = options.Find("period");
  if (!period || !ConfigOptions::ParseDurationNs(*period, m_periodNs) || m_periodNs <= 0) {
    error = "a generator needs period= above 0 (10ms, 500us, 1s)";
    return false;
  }
  if (const std::string* phase = options.Find("phase");
      phase && (!ConfigOptions::ParseDurationNs(*phase, m_phaseNs) || m_phaseNs >= m_periodNs)) {
    error = "phase must be a duration below the period";
    return false;
  }
  return true;
}

bool TrafficGenerator::ReadFrameKind(const ConfigOptions& options, std::string& error) {
  if (!ParseFlag(options, "fd", m_fd, error) || !ParseFlag(options, "brs", m_brs, error))
    return false;
  if (m_brs && !m_fd) {
    error = "brs=1 needs fd=1";
    return false;
  }
  return true;
}

bool TrafficGenerator::ReadData(const ConfigOptions& options, std::string& error) {
  const std::string* data = options.Find("data");
  const std::string_view pattern = data ? std::string_view(*data) : "counter";
  if (pattern == "counter") {
    m_pattern = Pattern::Counter;
  } else if (pattern == "ramp") {
    m_pattern = Pattern::Ramp;
  } else if (pattern == "random") {
    m_pattern = Pattern::Random;
  } else {
    m_pattern = Pattern::Fixed;
    for (std::size_t i = 0; i < pattern.size(); i += 2) {
      std::uint8_t byte = 0;
      const auto [end, ec] = std::from_chars(
          pattern.data() + i, pattern.data() + std::min(i + 2, pattern.size()), byte, 16);
      if (ec != std::errc() || end != pattern.data() + i + 2) {
        error =
            "data must be counter, ramp, random or hex bytes, found " + mfc::QuoteToken(pattern);
        return false;
      }
      m_fixed.push_back(byte);
    }
    m_length = static_cast<std::int32_t>(m_fixed.size());
  }
  return true;
}

// After ReadData: fixed bytes give the length themselves.
bool TrafficGenerator::ReadLength(const ConfigOptions& options, std::string& error) {
  if (const std::string* length = options.Find("length")) {
    std::int64_t value = -1;
    if (!ConfigOptions::ParseInteger(*length, value) || value < 0 || value > 64 ||
        (m_pattern == Pattern::Fixed && value != m_length)) {
      error = "bad length " + mfc::QuoteToken(*length);
      return false;
    }
    m_length = static_cast<std::int32_t>(value);
  }
  if (m_fd ? !IsFdLength(m_length) : m_length > 8) {
    error = "length " + std::to_string(m_length) + " does not fit a " +
            (m_fd ? "CAN FD" : "classic CAN") + " frame";
    return false;
  }
  return true;
}

std::int64_t TrafficGenerator::FirstPeriodAfter(std::int64_t t) const noexcept {
  return ChannelClock::FloorDiv(t - m_phaseNs, m_periodNs) + 1;
}

void TrafficGenerator::Fill(std::int64_t k, std::size_t index, CanMessage& message) const noexcept {
  message.id = m_ids[index];
  message.flags = (m_extended[index] ? kCanFlagExtended : 0u) | (m_fd ? kCanFlagFd : 0u) |
                  (m_brs ? kCanFlagBrs : 0u);
  message.length = m_length;
  message.tail = 0;
  const auto n = static_cast<std::size_t>(m_length);
  std::uint64_t random = 0;
  for (std::size_t i = 0; i < 64; ++i) {
    std::uint8_t byte = 0;
    if (i < n) {
      switch (m_pattern) {
        case Pattern::Counter:
          if (i < 4) byte = static_cast<std::uint8_t>(static_cast<std::uint64_t>(k) >> (8 * i));
          break;
        case Pattern::Ramp:
          byte = static_cast<std::uint8_t>(static_cast<std::uint64_t>(k) + i);
          break;
        case Pattern::Random:
          if (i % 8 == 0)
            random = SplitMix((static_cast<std::uint64_t>(k) << 8) ^ (i / 8) ^
                              (std::uint64_t{m_ids[index]} << 40));
          byte = static_cast<std::uint8_t>(random >> (8 * (i % 8)));
          break;
        case Pattern::Fixed:
          byte = m_fixed[i];
          break;
      }
    }
    message.data[i] = byte;
  }
}

}  // namespace XeCanDriverKvaser::detail
