#include "host/candriver/AscFormat.h"

#include <algorithm>

#include "host/candriver/LogText.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser {
namespace {

using logtext::AllDigits;
using logtext::EqualsNoCase;
using logtext::ParseNumber;
using logtext::ParseSeconds;

constexpr std::uint32_t kFlagFd = 0x1000;  // flags field of a CANFD line
constexpr std::uint32_t kFlagBrs = 0x2000;
constexpr std::uint32_t kFlagEsi = 0x4000;
constexpr std::uint32_t kFlagRemote = 0x10;

std::string Quoted(std::string_view text) {
  return mfc::QuoteToken(text);
}

// Completes the message of a CANFD line from its flags field: CAN FD, remote or classic frame, with
// its length; empty, or what is wrong with the line.
std::string SetFdKind(CanMessage& m, std::uint32_t lineFlags, std::string_view flagsText,
                      std::uint32_t dlc, std::uint32_t dataLength, std::uint32_t brs,
                      std::uint32_t esi) {
  const auto mismatch = [&] {
    return "data length " + std::to_string(dataLength) + " does not match DLC " +
           std::to_string(dlc);
  };
  if ((lineFlags & kFlagFd) || dataLength > 8 || dlc > 8) {
    if (static_cast<std::int32_t>(dataLength) != kFdLengths[dlc]) return mismatch();
    m.flags |= kCanFlagFd | (brs ? kCanFlagBrs : 0u) | (esi ? kCanFlagEsi : 0u);
    m.length = static_cast<std::int32_t>(dataLength);
  } else if (lineFlags & kFlagRemote) {
    // A remote request carries no data: data bytes here mean the columns are not where the
    // flags field was looked for.
    if (dataLength != 0)
      return "flags " + Quoted(flagsText) + " mark a remote frame, but the line has " +
             std::to_string(dataLength) + " data bytes";
    m.flags |= kCanFlagRemote;
    m.length = static_cast<std::int32_t>(dlc);
  } else {
    if (dataLength != dlc) return mismatch();
    m.length = static_cast<std::int32_t>(dataLength);
  }
  return {};
}

}  // namespace

bool AscParser::Time(std::string_view token, CanLogEntry& entry) {
  std::int64_t ns = 0;
  if (!ParseSeconds(token, ns)) return false;
  if (m_relative && ns >= kMaxLogSeconds * 1'000'000'000 - m_lastNs) return false;
  m_lastNs = m_relative ? m_lastNs + ns : ns;
  entry.timeNs = m_lastNs;
  return true;
}

bool AscParser::Parse(std::span<const std::string_view> t, CanLogEntry& entry,
                      std::string& reason) {
  reason.clear();
  const std::string_view first = t[0];
  if (first.starts_with("//") || EqualsNoCase(first, "date") || EqualsNoCase(first, "internal") ||
      EqualsNoCase(first, "no") || EqualsNoCase(first, "begin") || EqualsNoCase(first, "end"))
    return false;
  if (EqualsNoCase(first, "base")) {
    m_lastNs = 0;
    if (t.size() >= 2) m_base = EqualsNoCase(t[1], "dec") ? 10 : 16;
    if (t.size() >= 4 && EqualsNoCase(t[2], "timestamps"))
      m_relative = EqualsNoCase(t[3], "relative");
    return false;
  }
  if (!Time(first, entry)) {
    if (first.find_first_not_of("0123456789.") == std::string_view::npos)
      reason = "time " + Quoted(first) + " is not below " + std::to_string(kMaxLogSeconds) + " s";
    else
      reason = "not a log line: " + Quoted(first);
    return true;
  }
  if (t.size() < 2) {
    reason = "nothing after the time";
    return true;
  }
  if (EqualsNoCase(t[1], "CANFD")) return ParseFd(t, entry, reason);
  // Other events (bus status, start of measurement, LIN, triggers, variables) are no frames.
  if (!AllDigits(t[1])) return false;
  entry.channel.assign(t[1]);
  if (t.size() < 3) {
    reason = "nothing after the channel";
    return true;
  }
  if (EqualsNoCase(t[2], "ErrorFrame")) {
    entry.message.flags |= kCanFlagErrorFrame;
    return true;
  }
  if (t[2].back() == ':' || EqualsNoCase(t[2], "J1939TP")) return false;  // statistics, SV:, ...
  return ParseClassic(t, entry, reason);
}

// <time> <channel> <id>[x] <Rx|Tx> <d|r> <dlc> <data bytes> [...]
bool AscParser::ParseClassic(std::span<const std::string_view> t, CanLogEntry& entry,
                             std::string& reason) {
  constexpr std::size_t i = 2;
  CanMessage& m = entry.message;
  if (t.size() < i + 3) {
    reason = "a frame needs identifier, direction and d or r";
    return true;
  }
  std::string_view idText = t[i];
  if (idText.back() == 'x' || idText.back() == 'X') {
    m.flags |= kCanFlagExtended;
    idText.remove_suffix(1);
  }
  if (!ParseNumber(idText, m_base, m.id) ||
      m.id > ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId)) {
    reason = "bad identifier " + Quoted(t[i]);
    return true;
  }
  const std::string_view direction = t[i + 1];
  if (EqualsNoCase(direction, "TxRq")) return false;  // a request to send, not a bus frame
  if (direction == "Tx") {
    m.flags |= kCanFlagTransmitted;
  } else if (direction != "Rx") {
    reason = "direction " + Quoted(direction) + " is neither Rx nor Tx";
    return true;
  }
  std::uint32_t dlc = 0;
  if (t[i + 2] == "r") {
    m.flags |= kCanFlagRemote;
    if (t.size() > i + 3 && ParseNumber(t[i + 3], m_base, dlc)) {
      if (dlc > 8) {
        reason = "remote frame length " + Quoted(t[i + 3]) + " above 8";
        return true;
      }
      m.length = static_cast<std::int32_t>(dlc);
    }
    return true;
  }
  if (t[i + 2] != "d") {
    reason = "expected d or r, found " + Quoted(t[i + 2]);
    return true;
  }
  if (t.size() < i + 4 || !ParseNumber(t[i + 3], m_base, dlc) || dlc > 15) {
    reason = "bad DLC";
    return true;
  }
  m.length = dlc > 8 ? 8 : static_cast<std::int32_t>(dlc);
  if (t.size() < i + 4 + static_cast<std::size_t>(m.length)) {
    reason = "DLC " + std::to_string(dlc) + " but fewer data bytes";
    return true;
  }
  for (int b = 0; b < m.length; ++b) {
    std::uint32_t value = 0;
    const std::string_view byte = t[i + 4 + static_cast<std::size_t>(b)];
    if (!ParseNumber(byte, m_base, value) || value > 255) {
      reason = "bad data byte " + Quoted(byte);
      return true;
    }
    m.data[b] = static_cast<std::uint8_t>(value);
  }
  return true;
}

// <time> CANFD <channel> <Rx|Tx> <id>[x] [name] <brs> <esi> <dlc> <data length> <data bytes>
//   [<duration> <bit count> <flags hex> ...]
bool AscParser::ParseFd(std::span<const std::string_view> t, CanLogEntry& entry,
                        std::string& reason) {
  CanMessage& m = entry.message;
  if (t.size() < 5 || !AllDigits(t[2])) {
    reason = "a CANFD line needs channel, direction";
    return true;
  }
  entry.channel.assign(t[2]);
  if (t[3] == "Tx") {
    m.flags |= kCanFlagTransmitted;
  } else if (t[3] != "Rx") {
    reason = "direction " + Quoted(t[3]) + " is neither Rx nor Tx";
    return true;
  }
  if (EqualsNoCase(t[4], "ErrorFrame")) {
    m.flags |= kCanFlagErrorFrame;
    return true;
  }
  std::string_view idText = t[4];
  if (idText.back() == 'x' || idText.back() == 'X') {
    m.flags |= kCanFlagExtended;
    idText.remove_suffix(1);
  }
  if (!ParseNumber(idText, m_base, m.id) ||
      m.id > ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId)) {
    reason = "bad identifier " + Quoted(t[4]);
    return true;
  }
  std::size_t i = 5;
  if (t.size() > i && t[i] != "0" && t[i] != "1") ++i;  // symbolic name
  std::uint32_t brs = 0, esi = 0, dlc = 0, dataLength = 0;
  if (t.size() < i + 4 || !ParseNumber(t[i], 10, brs) || !ParseNumber(t[i + 1], 10, esi) ||
      !ParseNumber(t[i + 2], 16, dlc) || !ParseNumber(t[i + 3], 10, dataLength) || dlc > 15) {
    reason = "bad CANFD fields after the identifier";
    return true;
  }
  i += 4;
  if (dataLength > 64 || t.size() < i + dataLength) {
    reason = "data length " + std::to_string(dataLength) + " but fewer data bytes";
    return true;
  }
  for (std::uint32_t b = 0; b < dataLength; ++b) {
    std::uint32_t value = 0;
    if (!ParseNumber(t[i + b], m_base, value) || value > 255) {
      reason = "bad data byte " + Quoted(t[i + b]);
      return true;
    }
    m.data[b] = static_cast<std::uint8_t>(value);
  }
  i += dataLength;
  // The flags field (third behind the data) tells a CAN FD frame (0x1000) from a classic frame
  // written as a CANFD line, and marks a remote request (0x10). Without it the line is CAN FD.
  std::uint32_t lineFlags = kFlagFd;
  const std::string_view flagsText = t.size() > i + 2 ? t[i + 2] : std::string_view();
  if (!flagsText.empty() && !ParseNumber(flagsText, 16, lineFlags)) {
    reason = "bad flags " + Quoted(flagsText);
    return true;
  }
  reason = SetFdKind(m, lineFlags, flagsText, dlc, dataLength, brs, esi);
  return true;
}

std::string_view AscHeader() noexcept {
  return "date Thu Jan 1 12:00:00.000 am 1970\n"
         "base hex  timestamps absolute\n"
         "internal events logged\n"
         "Begin Triggerblock Thu Jan 1 12:00:00.000 am 1970\n"
         "   0.000000 Start of measurement\n";
}

std::size_t FormatAsc(std::span<char, kAscLineCapacity> line, std::int64_t timeNs,
                      std::uint32_t channel, const CanMessage& m) noexcept {
  using logtext::WriteHex;
  char* out = line.data();
  char time[32];
  const char* timeEnd = logtext::WriteMicroseconds(time, timeNs);
  for (auto width = timeEnd - time; width < 11; ++width)
    *out++ = ' ';
  out = std::copy<const char*>(time, timeEnd, out);
  *out++ = ' ';
  const auto pad = [&](char* from, std::ptrdiff_t width) {
    while (out - from < width)
      *out++ = ' ';
  };
  const char* direction = (m.flags & kCanFlagTransmitted) ? "Tx" : "Rx";
  const bool extended = (m.flags & kCanFlagExtended) != 0 || m.id > kMaxStandardId;
  if (m.flags & kCanFlagErrorFrame) {
    out = logtext::WriteRight(out, channel, 0);
    out = std::copy_n("  ErrorFrame", 12, out);
  } else if (m.flags & kCanFlagFd) {
    out = std::copy_n("CANFD ", 6, out);
    out = logtext::WriteRight(out, channel, 3);
    *out++ = ' ';
    out = std::copy_n(direction, 2, out);
    out = std::copy_n("   ", 3, out);
    // The identifier right-aligned in 8 characters.
    char digits[9];
    char* digitsEnd = WriteHex(digits, m.id);
    if (extended) *digitsEnd++ = 'x';
    for (auto width = digitsEnd - digits; width < 8; ++width)
      *out++ = ' ';
    out = std::copy(digits, digitsEnd, out);
    const int length = std::clamp(m.length, 0, 64);
    int dlc = 0;
    while (dlc < 15 && kFdLengths[dlc] < length)
      ++dlc;
    *out++ = ' ';
    *out++ = ' ';
    *out++ = (m.flags & kCanFlagBrs) ? '1' : '0';
    *out++ = ' ';
    *out++ = (m.flags & kCanFlagEsi) ? '1' : '0';
    *out++ = ' ';
    out = WriteHex(out, static_cast<std::uint32_t>(dlc));
    *out++ = ' ';
    out = logtext::WriteRight(out, static_cast<std::uint64_t>(length), 2);
    for (int b = 0; b < length; ++b) {
      *out++ = ' ';
      out = WriteHex(out, m.data[b], 2);
    }
    const std::uint32_t flags = kFlagFd | ((m.flags & kCanFlagBrs) ? kFlagBrs : 0u) |
                                ((m.flags & kCanFlagEsi) ? kFlagEsi : 0u);
    out = std::copy_n(" 0 0 ", 5, out);
    out = WriteHex(out, flags);
    out = std::copy_n(" 0 0 0 0 0", 10, out);
  } else {
    out = logtext::WriteRight(out, channel, 0);
    out = std::copy_n("  ", 2, out);
    char* id = out;
    out = WriteHex(out, m.id);
    if (extended) *out++ = 'x';
    pad(id, 15);
    *out++ = ' ';
    out = std::copy_n(direction, 2, out);
    out = std::copy_n("   ", 3, out);
    const bool remote = (m.flags & kCanFlagRemote) != 0;
    *out++ = remote ? 'r' : 'd';
    *out++ = ' ';
    const int length = std::clamp(m.length, 0, 8);
    out = WriteHex(out, static_cast<std::uint32_t>(length));
    for (int b = 0; !remote && b < length; ++b) {
      *out++ = ' ';
      out = WriteHex(out, m.data[b], 2);
    }
  }
  *out++ = '\n';
  return static_cast<std::size_t>(out - line.data());
}

}  // namespace XeCanDriverKvaser
