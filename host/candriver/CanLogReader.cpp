#include "host/candriver/CanLogReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "host/candriver/CandumpFormat.h"
#include "host/candriver/LogText.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace XeCanDriverKvaser {
namespace {

using logtext::AllDigits;
using logtext::EqualsNoCase;
using logtext::ParseNumber;
using logtext::ParseSeconds;

std::string Quoted(std::string_view text) {
  return mfc::QuoteToken(text);
}

// Completes the message of a CANFD line from its flags field: CAN FD, remote or classic frame, with
// its length; empty, or what is wrong with the line.
std::string SetAscFdKind(CanMessage& m, std::uint32_t lineFlags, std::string_view flagsText,
                         std::uint32_t dlc, std::uint32_t dataLength, std::uint32_t brs,
                         std::uint32_t esi) {
  const auto mismatch = [&] {
    return "data length " + std::to_string(dataLength) + " does not match DLC " +
           std::to_string(dlc);
  };
  if ((lineFlags & 0x1000) || dataLength > 8 || dlc > 8) {
    if (static_cast<std::int32_t>(dataLength) != kFdLengths[dlc]) return mismatch();
    m.flags |= kCanFlagFd | (brs ? kCanFlagBrs : 0u) | (esi ? kCanFlagEsi : 0u);
    m.length = static_cast<std::int32_t>(dataLength);
  } else if (lineFlags & 0x10) {
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

void CanLogReader::Reset(std::string name) {
  m_in.close();
  m_in.clear();
  m_tooLong = false;
  m_text = {};
  m_fromText = false;
  m_name = std::move(name);
  m_lineNumber = 0;
  m_ascBase = 16;
  m_ascRelative = false;
  m_ascLastNs = 0;
  m_error.clear();
}

bool CanLogReader::Open(const std::filesystem::path& file) {
  Reset(file.string());
  // A FIFO would block the open, a device never end; a folder opens as a stream that reads
  // nothing. A log of any length is read line by line.
  if (!FileIO::CheckInputFile(file, 0, m_error)) return false;
  m_in.open(file, std::ios::binary);
  if (!m_in) m_error = m_name + ": cannot open: " + std::strerror(errno);
  return m_error.empty();
}

void CanLogReader::OpenText(std::string_view text, std::string name) {
  Reset(std::move(name));
  m_text = text;
  m_fromText = true;
}

// The next line into m_line, without its line end.
bool CanLogReader::NextLine() {
  if (!m_fromText) {
    if (m_tooLong) return false;
    m_buffer.resize(kMaxLineBytes + 1);
    m_in.getline(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    const auto got = static_cast<std::size_t>(m_in.gcount());
    if (got == 0 && !m_in) return false;
    // Without its line feed the buffer was filled: a line this long is no log's.
    m_tooLong = m_in.fail() && !m_in.eof();
    const std::size_t length = m_tooLong || m_in.eof() ? got : got - 1;
    m_line.assign(m_buffer.data(), std::min(length, kMaxLineBytes));
    m_in.clear(m_in.rdstate() & ~std::ios::failbit);
  } else {
    if (m_text.empty()) return false;
    const std::size_t end = m_text.find('\n');
    m_line.assign(m_text.substr(0, end));
    m_text.remove_prefix(end == std::string_view::npos ? m_text.size() : end + 1);
  }
  if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
  return true;
}

bool CanLogReader::Next(CanLogEntry& entry) {
  while (NextLine()) {
    ++m_lineNumber;
    if (m_tooLong) {
      entry = CanLogEntry{};
      entry.line = m_lineNumber;
      entry.error = m_name + ":" + std::to_string(m_lineNumber) + ": a line longer than " +
                    std::to_string(kMaxLineBytes) + " bytes: not a CAN log; reading stops here";
      return true;
    }
    if (ReadLine(m_line, entry)) {
      if (!entry.error.empty()) entry.error.insert(0, m_name + ":");
      return true;
    }
  }
  return false;
}

bool CanLogReader::ReadLine(std::string_view line, CanLogEntry& entry) {
  if (line.data() != m_line.data()) {
    m_line.assign(line);
    ++m_lineNumber;
  }
  mfc::SplitBlanks(m_line, m_tokens);
  entry.timeNs = 0;
  entry.channel.clear();
  entry.message = CanMessage{};
  entry.line = m_lineNumber;
  entry.error.clear();
  if (m_tokens.empty()) return false;
  if (m_tokens[0].front() != '(') return ParseAsc(entry);
  const std::string reason = ParseCandump(m_tokens, entry);
  return reason.empty() || Fail(entry, reason);
}

bool CanLogReader::Fail(CanLogEntry& entry, std::string_view reason) {
  entry.error = std::to_string(m_lineNumber) + ": " + std::string(reason);
  return true;
}

bool CanLogReader::AscTime(std::string_view token, CanLogEntry& entry) {
  std::int64_t ns = 0;
  if (!ParseSeconds(token, ns)) return false;
  if (m_ascRelative && ns >= kMaxLogSeconds * 1'000'000'000 - m_ascLastNs) return false;
  m_ascLastNs = m_ascRelative ? m_ascLastNs + ns : ns;
  entry.timeNs = m_ascLastNs;
  return true;
}

bool CanLogReader::ParseAsc(CanLogEntry& entry) {
  const auto& t = m_tokens;
  const std::string_view first = t[0];
  if (first.starts_with("//") || EqualsNoCase(first, "date") || EqualsNoCase(first, "internal") ||
      EqualsNoCase(first, "no") || EqualsNoCase(first, "begin") || EqualsNoCase(first, "end"))
    return false;
  if (EqualsNoCase(first, "base")) {
    m_ascLastNs = 0;
    if (t.size() >= 2) m_ascBase = EqualsNoCase(t[1], "dec") ? 10 : 16;
    if (t.size() >= 4 && EqualsNoCase(t[2], "timestamps"))
      m_ascRelative = EqualsNoCase(t[3], "relative");
    return false;
  }
  if (!AscTime(first, entry)) {
    if (first.find_first_not_of("0123456789.") == std::string_view::npos)
      return Fail(entry, "time " + Quoted(first) + " is not below " +
                             std::to_string(kMaxLogSeconds) + " s");
    return Fail(entry, "not a log line: " + Quoted(first));
  }
  if (t.size() < 2) return Fail(entry, "nothing after the time");
  if (EqualsNoCase(t[1], "CANFD")) return ParseAscFd(entry);
  // Other events (bus status, start of measurement, LIN, triggers, variables) are no frames.
  if (!AllDigits(t[1])) return false;
  entry.channel.assign(t[1]);
  if (t.size() < 3) return Fail(entry, "nothing after the channel");
  if (EqualsNoCase(t[2], "ErrorFrame")) {
    entry.message.flags |= kCanFlagErrorFrame;
    return true;
  }
  if (t[2].back() == ':' || EqualsNoCase(t[2], "J1939TP")) return false;  // statistics, SV:, ...
  return ParseAscClassic(2, entry);
}

bool CanLogReader::ParseAscClassic(std::size_t i, CanLogEntry& entry) {
  const auto& t = m_tokens;
  CanMessage& m = entry.message;
  if (t.size() < i + 3) return Fail(entry, "a frame needs identifier, direction and d or r");
  std::string_view idText = t[i];
  if (idText.back() == 'x' || idText.back() == 'X') {
    m.flags |= kCanFlagExtended;
    idText.remove_suffix(1);
  }
  if (!ParseNumber(idText, m_ascBase, m.id) ||
      m.id > ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId))
    return Fail(entry, "bad identifier " + Quoted(t[i]));
  const std::string_view direction = t[i + 1];
  if (EqualsNoCase(direction, "TxRq")) return false;  // a request to send, not a bus frame
  if (direction == "Tx") {
    m.flags |= kCanFlagTransmitted;
  } else if (direction != "Rx") {
    return Fail(entry, "direction " + Quoted(direction) + " is neither Rx nor Tx");
  }
  std::uint32_t dlc = 0;
  if (t[i + 2] == "r") {
    m.flags |= kCanFlagRemote;
    if (t.size() > i + 3 && ParseNumber(t[i + 3], m_ascBase, dlc)) {
      if (dlc > 8) return Fail(entry, "remote frame length " + Quoted(t[i + 3]) + " above 8");
      m.length = static_cast<std::int32_t>(dlc);
    }
    return true;
  }
  if (t[i + 2] != "d") return Fail(entry, "expected d or r, found " + Quoted(t[i + 2]));
  if (t.size() < i + 4 || !ParseNumber(t[i + 3], m_ascBase, dlc) || dlc > 15)
    return Fail(entry, "bad DLC");
  m.length = dlc > 8 ? 8 : static_cast<std::int32_t>(dlc);
  if (t.size() < i + 4 + static_cast<std::size_t>(m.length))
    return Fail(entry, "DLC " + std::to_string(dlc) + " but fewer data bytes");
  for (int b = 0; b < m.length; ++b) {
    std::uint32_t value = 0;
    const std::string_view byte = t[i + 4 + static_cast<std::size_t>(b)];
    if (!ParseNumber(byte, m_ascBase, value) || value > 255)
      return Fail(entry, "bad data byte " + Quoted(byte));
    m.data[b] = static_cast<std::uint8_t>(value);
  }
  return true;
}

// <time> CANFD <channel> <Rx|Tx> <id>[x] [name] <brs> <esi> <dlc> <data length> <data bytes>
//   [<duration> <bit count> <flags hex> ...]
bool CanLogReader::ParseAscFd(CanLogEntry& entry) {
  const auto& t = m_tokens;
  CanMessage& m = entry.message;
  if (t.size() < 5 || !AllDigits(t[2])) return Fail(entry, "a CANFD line needs channel, direction");
  entry.channel.assign(t[2]);
  if (t[3] == "Tx") {
    m.flags |= kCanFlagTransmitted;
  } else if (t[3] != "Rx") {
    return Fail(entry, "direction " + Quoted(t[3]) + " is neither Rx nor Tx");
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
  if (!ParseNumber(idText, m_ascBase, m.id) ||
      m.id > ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId))
    return Fail(entry, "bad identifier " + Quoted(t[4]));
  std::size_t i = 5;
  if (t.size() > i && t[i] != "0" && t[i] != "1") ++i;  // symbolic name
  std::uint32_t brs = 0, esi = 0, dlc = 0, dataLength = 0;
  if (t.size() < i + 4 || !ParseNumber(t[i], 10, brs) || !ParseNumber(t[i + 1], 10, esi) ||
      !ParseNumber(t[i + 2], 16, dlc) || !ParseNumber(t[i + 3], 10, dataLength) || dlc > 15)
    return Fail(entry, "bad CANFD fields after the identifier");
  i += 4;
  if (dataLength > 64 || t.size() < i + dataLength)
    return Fail(entry, "data length " + std::to_string(dataLength) + " but fewer data bytes");
  for (std::uint32_t b = 0; b < dataLength; ++b) {
    std::uint32_t value = 0;
    if (!ParseNumber(t[i + b], m_ascBase, value) || value > 255)
      return Fail(entry, "bad data byte " + Quoted(t[i + b]));
    m.data[b] = static_cast<std::uint8_t>(value);
  }
  i += dataLength;
  // The flags field (third behind the data) tells a CAN FD frame (0x1000) from a classic frame
  // written as a CANFD line, and marks a remote request (0x10). Without it the line is CAN FD.
  std::uint32_t lineFlags = 0x1000;
  const std::string_view flagsText = t.size() > i + 2 ? t[i + 2] : std::string_view();
  if (!flagsText.empty() && !ParseNumber(flagsText, 16, lineFlags))
    return Fail(entry, "bad flags " + Quoted(flagsText));
  const std::string wrong = SetAscFdKind(m, lineFlags, flagsText, dlc, dataLength, brs, esi);
  return wrong.empty() || Fail(entry, wrong);
}

}  // namespace XeCanDriverKvaser
