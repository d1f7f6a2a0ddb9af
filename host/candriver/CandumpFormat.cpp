#include "host/candriver/CandumpFormat.h"

#include <algorithm>
#include <charconv>

#include "host/candriver/LogText.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser {
namespace {

using logtext::HexDigit;

constexpr std::uint32_t kErrorFrameBit = 0x20000000u;  // socket layer; the rest is error detail
constexpr std::size_t kMaxInterfaceName = 64;

std::string Quoted(std::string_view text) {
  return mfc::QuoteToken(text);
}

// The data bytes of a frame ("DEADBEEF", "15.05.0E.05") into `m`, up to `maxLength`.
std::string ParseData(std::string_view rest, int maxLength, CanMessage& m) {
  int length = 0;
  for (std::size_t i = 0; i < rest.size();) {
    if (rest[i] == '.') {
      ++i;
      continue;
    }
    if (i + 1 >= rest.size() || HexDigit(rest[i]) < 0 || HexDigit(rest[i + 1]) < 0)
      return "bad data " + Quoted(rest);
    if (length < 64)
      m.data[length] = static_cast<std::uint8_t>(HexDigit(rest[i]) * 16 + HexDigit(rest[i + 1]));
    ++length;
    i += 2;
  }
  if (length > maxLength)
    return std::to_string(length) + " data bytes in a " +
           (maxLength == 8 ? "classic CAN" : "CAN FD") + " frame";
  if (maxLength == 64 && !IsFdLength(length))
    return std::to_string(length) + " is no CAN FD length";
  m.length = length;
  return {};
}

// "<id>#<data>", "<id>#R[len]", "<id>##<flags><data>" into `m`.
std::string ParseFrame(std::string_view frame, CanMessage& m) {
  const std::size_t hash = frame.find('#');
  if (hash == std::string_view::npos) return "no '#' in frame " + Quoted(frame);
  const std::string_view idText = frame.substr(0, hash);
  if ((idText.size() != 3 && idText.size() != 8) || !logtext::ParseNumber(idText, 16, m.id))
    return "identifier " + Quoted(idText) + " needs 3 or 8 hex digits";
  if (idText.size() == 8) {
    if (m.id & kErrorFrameBit) {
      m.id = 0;
      m.flags |= kCanFlagErrorFrame;
      return {};
    }
    if (m.id > kMaxExtendedId) return "identifier " + Quoted(idText) + " too large";
    m.flags |= kCanFlagExtended;
  } else if (m.id > kMaxStandardId) {
    return "standard identifier " + Quoted(idText) + " above 7FF";
  }
  std::string_view rest = frame.substr(hash + 1);
  if (!rest.empty() && rest.front() == '#') {
    if (rest.size() < 2 || HexDigit(rest[1]) < 0)
      return "CAN FD frame needs a flags digit after '##'";
    const int fdFlags = HexDigit(rest[1]);
    m.flags |= kCanFlagFd | ((fdFlags & 1) ? kCanFlagBrs : 0u) | ((fdFlags & 2) ? kCanFlagEsi : 0u);
    return ParseData(rest.substr(2), 64, m);
  }
  if (!rest.empty() && (rest.front() == 'R' || rest.front() == 'r')) {
    m.flags |= kCanFlagRemote;
    rest.remove_prefix(1);
    if (rest.size() > 1 || (rest.size() == 1 && (rest[0] < '0' || rest[0] > '8')))
      return "remote frame length " + Quoted(rest) + " is not 0..8";
    m.length = rest.empty() ? 0 : rest[0] - '0';
    return {};
  }
  // Classic frames may end in "_<dlc>" for a DLC of 9..15 behind 8 bytes: the payload stays 8.
  if (rest.size() >= 2 && rest[rest.size() - 2] == '_') rest.remove_suffix(2);
  return ParseData(rest, 8, m);
}

char* Hex(char* out, std::uint32_t value, int digits) noexcept {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = kHex[value & 0xF];
    value >>= 4;
  }
  return out + digits;
}

bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// Copied over a message to empty it (see CanLogReader.cpp: cheaper than CanMessage{}).
constexpr CanMessage kNoMessage{};

// "(<seconds>[.<digits>]) " at `p`, as ParseSeconds reads the time; the end, or null.
const char* PlainTime(const char* p, const char* end, std::int64_t& ns) noexcept {
  if (p == end || *p++ != '(') return nullptr;
  std::int64_t seconds = 0;
  int digits = 0;
  // Digits beyond ten are counted, not added: they would overflow before the line is refused.
  for (; p < end && IsDigit(*p); ++p, ++digits)
    if (digits < 10) seconds = seconds * 10 + (*p - '0');
  if (digits == 0 || digits > 10 || seconds >= kMaxLogSeconds) return nullptr;
  std::int64_t fraction = 0;
  digits = 0;
  if (p < end && *p == '.')
    for (++p; p < end && IsDigit(*p); ++p, ++digits)
      if (digits < 9) fraction = fraction * 10 + (*p - '0');
  for (; digits < 9; ++digits)
    fraction *= 10;
  if (end - p < 2 || p[0] != ')' || p[1] != ' ') return nullptr;
  ns = seconds * 1'000'000'000 + fraction;
  return p + 2;
}

}  // namespace

bool ParsePlainCandump(std::string_view line, CanLogEntry& entry) noexcept {
  const char* const end = line.data() + line.size();
  std::int64_t ns = 0;
  const char* p = PlainTime(line.data(), end, ns);
  if (p == nullptr) return false;
  const char* const name = p;
  while (p < end && *p != ' ' && *p != '\t')
    ++p;
  if (p == name || p == end || *p != ' ') return false;
  const std::string_view interface(name, static_cast<std::size_t>(p - name));
  const char* const id = ++p;
  std::uint32_t value = 0;
  for (int digit = 0; p < end && (digit = HexDigit(*p)) >= 0; ++p)
    value = value << 4 | static_cast<std::uint32_t>(digit);
  const std::ptrdiff_t idDigits = p - id;
  if (p == end || *p != '#' || (idDigits != 3 && idDigits != 8)) return false;
  if (idDigits == 8 ? (value & kErrorFrameBit) || value > kMaxExtendedId : value > kMaxStandardId)
    return false;
  const char* const data = ++p;
  const std::ptrdiff_t hex = end - data;
  if (hex % 2 != 0 || hex > 16) return false;
  std::uint8_t bytes[8] = {};
  for (std::ptrdiff_t i = 0; i < hex / 2; ++i) {
    const int high = HexDigit(data[2 * i]);
    const int low = HexDigit(data[2 * i + 1]);
    if ((high | low) < 0) return false;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  entry.timeNs = ns;
  entry.channel.assign(interface);
  entry.message = kNoMessage;
  entry.message.id = value;
  entry.message.flags = idDigits == 8 ? kCanFlagExtended : 0u;
  entry.message.length = static_cast<std::int32_t>(hex / 2);
  std::copy(bytes, bytes + 8, entry.message.data);
  entry.object = false;
  entry.error.clear();
  return true;
}

std::string ParseCandump(std::span<const std::string_view> t, CanLogEntry& entry) {
  if (t.size() < 3) return "a candump line needs (time), interface and frame";
  if (t[0].size() < 3 || t[0].front() != '(' || t[0].back() != ')' ||
      !logtext::ParseSeconds(t[0].substr(1, t[0].size() - 2), entry.timeNs))
    return "bad time " + Quoted(t[0]) + " (seconds below " + std::to_string(kMaxLogSeconds) + ")";
  if (t.size() > 4 || (t.size() == 4 && t[3] != "T" && t[3] != "R"))
    return "unexpected " + Quoted(t.back()) + " after the frame";
  entry.channel.assign(t[1]);
  CanMessage& m = entry.message;
  if (t.size() == 4 && t[3] == "T") m.flags |= kCanFlagTransmitted;
  if (t[2] == "ERROR") {
    m.flags |= kCanFlagErrorFrame;
    return {};
  }
  return ParseFrame(t[2], m);
}

std::size_t FormatCandump(std::span<char, kCandumpLineCapacity> line, std::int64_t timeNs,
                          std::string_view interface, const CanMessage& m) noexcept {
  const std::int64_t micros = (std::max<std::int64_t>(timeNs, 0) + 500) / 1000;
  char* out = line.data();
  *out++ = '(';
  out = std::to_chars(out, out + 24, micros / 1'000'000).ptr;
  *out++ = '.';
  for (std::int64_t unit = 100'000, rest = micros % 1'000'000; unit > 0; unit /= 10)
    *out++ = static_cast<char>('0' + rest / unit % 10);
  *out++ = ')';
  *out++ = ' ';
  interface = interface.substr(0, kMaxInterfaceName);
  out = std::copy(interface.begin(), interface.end(), out);
  *out++ = ' ';
  const bool extended = (m.flags & kCanFlagExtended) != 0 || m.id > kMaxStandardId;
  if (m.flags & kCanFlagErrorFrame) {
    out = Hex(out, kErrorFrameBit, 8);
    *out++ = '#';
  } else {
    out = Hex(out, m.id, extended ? 8 : 3);
    *out++ = '#';
    if (m.flags & kCanFlagRemote) {
      *out++ = 'R';
      if (m.length > 0) *out++ = static_cast<char>('0' + std::min(m.length, 8));
    } else {
      const bool fd = (m.flags & kCanFlagFd) != 0;
      if (fd) {
        *out++ = '#';
        out =
            Hex(out, ((m.flags & kCanFlagBrs) ? 1u : 0u) | ((m.flags & kCanFlagEsi) ? 2u : 0u), 1);
      }
      const int length = std::clamp(m.length, 0, fd ? 64 : 8);
      for (int i = 0; i < length; ++i)
        out = Hex(out, m.data[i], 2);
    }
  }
  if (m.flags & kCanFlagTransmitted) {
    *out++ = ' ';
    *out++ = 'T';
  }
  *out++ = '\n';
  return static_cast<std::size_t>(out - line.data());
}

}  // namespace XeCanDriverKvaser
