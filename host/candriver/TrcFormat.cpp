#include "host/candriver/TrcFormat.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>

#include "host/candriver/LogText.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser {
namespace {

using logtext::AllDigits;
using logtext::HexDigit;
using logtext::ParseNumber;

constexpr std::int64_t kNsPerDay = 86'400'000'000'000;
constexpr std::int64_t kDaysTo1970 = 25569;  // 30 December 1899 to 1 January 1970
constexpr std::int64_t kMaxLogNs = kMaxLogSeconds * 1'000'000'000;

// The columns of the data lines of each version before 2.1 (letters as in $COLUMNS).
struct VersionColumns {
  int version;
  std::string_view columns;
};
constexpr std::array<VersionColumns, 6> kVersionColumns = {{
    {10, "NOILD"},      // 1.0: no type; "RTR", "ERROR" in the data
    {11, "NOTILD"},     // 1.1: type Rx, Tx, Warng, Error
    {12, "NOBTILD"},    // 1.2: the bus
    {13, "NOBTIRLD"},   // 1.3: a reserved column
    {20, "NOTIdlD"},    // 2.0: frame types, direction, length in bytes
    {21, "NOTBIdRLD"},  // 2.1: the default of $COLUMNS
}};

std::string Quoted(std::string_view text) {
  return mfc::QuoteToken(text);
}

// "1841.0", "-0.5": milliseconds as nanoseconds; digits beyond the sixth decimal are dropped.
bool ParseMilliseconds(std::string_view text, std::int64_t& ns) noexcept {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  if (!AllDigits(whole) || whole.size() > 13) return false;
  std::int64_t value = 0;
  for (const char c : whole)
    value = value * 10 + (c - '0');
  if (value > kMaxLogSeconds * 1000) return false;
  std::int64_t fraction = 0;
  if (dot != std::string_view::npos) {
    const std::string_view digits = text.substr(dot + 1);
    if (!digits.empty() && !AllDigits(digits)) return false;
    for (std::size_t i = 0; i < 6; ++i)
      fraction = fraction * 10 + (i < digits.size() ? digits[i] - '0' : 0);
  }
  ns = value * 1'000'000 + fraction;
  if (negative) ns = -ns;
  return true;
}

// "45123.372345678901234": days since 30 December 1899 and the fraction of the day, as ns since
// 1970, exact to the ns for up to 16 decimals.
bool ParseStartTime(std::string_view text, std::int64_t& ns) noexcept {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  std::uint32_t days = 0;
  if (!AllDigits(whole) || whole.size() > 7 || !ParseNumber(whole, 10, days)) return false;
  std::int64_t fraction = 0;
  if (dot != std::string_view::npos) {
    std::string_view digits = text.substr(dot + 1);
    if (!digits.empty() && !AllDigits(digits)) return false;
    digits = digits.substr(0, 16);
    std::int64_t f = 0;
    for (const char c : digits)
      f = f * 10 + (c - '0');
    // kNsPerDay is 864 * 10^11: each digit up to the eleventh adds whole nanoseconds.
    const auto k = static_cast<int>(digits.size());
    std::int64_t scale = 1;
    for (int i = 0; i < std::abs(11 - k); ++i)
      scale *= 10;
    fraction = k <= 11 ? f * 864 * scale : (f * 864 + scale / 2) / scale;
  }
  // Days far beyond any log's start (seven digits reach the year 29,000) would overflow the
  // nanosecond count; the caller refuses late starts, so these are simply not a start time.
  const std::int64_t sinceEpoch = static_cast<std::int64_t>(days) - kDaysTo1970;
  if (sinceEpoch >= std::numeric_limits<std::int64_t>::max() / kNsPerDay) return false;
  ns = sinceEpoch * kNsPerDay + fraction;
  return true;
}

// The frame kinds of the type column of version 2.
struct FrameType {
  std::string_view name;
  std::uint32_t flags;
};
constexpr std::array<FrameType, 6> kFrameTypes = {{
    {"DT", 0},
    {"FD", kCanFlagFd},
    {"FB", kCanFlagFd | kCanFlagBrs},
    {"FE", kCanFlagFd | kCanFlagEsi},
    {"BI", kCanFlagFd | kCanFlagBrs | kCanFlagEsi},
    {"RR", kCanFlagRemote},
}};

std::string_view TypeName(std::uint32_t flags) noexcept {
  if (flags & kCanFlagErrorFrame) return "ER";
  if (flags & kCanFlagRemote) return "RR";
  if (!(flags & kCanFlagFd)) return "DT";
  const std::uint32_t kind = flags & (kCanFlagFd | kCanFlagBrs | kCanFlagEsi);
  for (const FrameType& type : kFrameTypes)
    if (type.flags == kind) return type.name;
  return "FD";
}

// Milliseconds with three decimals from ns rounded to microseconds, right-aligned in `width`.
char* WriteOffset(char* out, std::int64_t ns, int width) noexcept {
  // Rounded half up, as the times of the other formats are: a negative offset -1.5 µs is -1 µs.
  const std::int64_t micros = ns >= -500 ? (ns + 500) / 1000 : -((-ns - 500 + 999) / 1000);
  const std::uint64_t magnitude =
      micros < 0 ? 0 - static_cast<std::uint64_t>(micros) : static_cast<std::uint64_t>(micros);
  char text[32];
  char* end = text;
  if (micros < 0) *end++ = '-';
  end = logtext::WriteRight(end, magnitude / 1000, 0);
  *end++ = '.';
  const std::uint64_t rest = magnitude % 1000;
  *end++ = static_cast<char>('0' + rest / 100);
  *end++ = static_cast<char>('0' + rest / 10 % 10);
  *end++ = static_cast<char>('0' + rest % 10);
  for (auto length = end - text; length < width; ++length)
    *out++ = ' ';
  return std::copy(text, end, out);
}

char* Copy(char* out, std::string_view text) noexcept {
  return std::copy(text.begin(), text.end(), out);
}

}  // namespace

void TrcParser::SetVersion(int version) noexcept {
  m_version = version;
  for (const VersionColumns& v : kVersionColumns)
    if (v.version == version) {
      std::copy(v.columns.begin(), v.columns.end(), m_columns.begin());
      m_columnCount = v.columns.size();
    }
  m_started = true;
}

bool TrcParser::SetColumns(std::string_view letters, std::string& reason) {
  std::array<char, 16> columns{};
  std::size_t count = 0;
  for (std::size_t i = 0; i < letters.size(); i += 2) {
    const char c = letters[i];
    if (std::string_view("NOTBIdRLlD").find(c) == std::string_view::npos ||
        count == columns.size() || (i + 1 < letters.size() && letters[i + 1] != ',')) {
      reason = "bad $COLUMNS " + Quoted(letters);
      return true;
    }
    columns[count++] = c;
  }
  const std::string_view given(columns.data(), count);
  if (count == 0 || given.back() != 'D' || given.find('O') == std::string_view::npos ||
      given.find('I') == std::string_view::npos ||
      given.find_first_of("Ll") == std::string_view::npos) {
    reason = "$COLUMNS " + Quoted(letters) + " lack O, I, L or l, or do not end in D";
    return true;
  }
  m_columns = columns;
  m_columnCount = count;
  return false;
}

bool TrcParser::Header(std::string_view token, std::string& reason) {
  const std::size_t equals = token.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = token.substr(0, equals);
  const std::string_view value = token.substr(equals + 1);
  if (key == ";$FILEVERSION") {
    const bool known = value.size() == 3 && value[1] == '.' && AllDigits(value.substr(0, 1)) &&
                       AllDigits(value.substr(2));
    const int version = known ? (value[0] - '0') * 10 + (value[2] - '0') : 0;
    if (std::none_of(kVersionColumns.begin(), kVersionColumns.end(),
                     [&](const VersionColumns& v) { return v.version == version; })) {
      reason = "unknown TRC version " + Quoted(value) + " (1.0 to 2.1 are read)";
      SetVersion(kTrcVersion21);
      return true;
    }
    SetVersion(version);
  } else if (key == ";$STARTTIME") {
    std::int64_t start = 0;
    if (!ParseStartTime(value, start) || start >= kMaxLogNs) {
      reason = "bad $STARTTIME " + Quoted(value);
      return true;
    }
    m_startNs = std::max<std::int64_t>(start, 0);
  } else if (key == ";$COLUMNS") {
    if (!m_started) SetVersion(kTrcVersion21);
    return SetColumns(value, reason);
  }
  return false;
}

namespace {

// What the columns of a frame line before its data said.
struct TrcLine {
  std::uint32_t length = 0;
  bool dlcColumn = false;  // the length column holds a DLC (2.x L) rather than bytes
  bool error = false;
};

// After one column: read on, the line holds no frame (Parse returns false), or the line is done
// (a frame, or the reason it is none; Parse returns true).
enum class Step { kNext, kNoFrame, kDone };

// The type column: version 1 names Rx, Tx, Warng and Error, version 2 the frame types.
Step ReadType(std::string_view token, bool v1, TrcLine& line, CanMessage& m, std::string& reason) {
  if (v1) {
    if (token == "Tx") {
      m.flags |= kCanFlagTransmitted;
    } else if (token == "Error") {
      line.error = true;
    } else if (token == "Warng") {
      return Step::kNoFrame;
    } else if (token != "Rx") {
      reason = "type " + Quoted(token) + " is not Rx, Tx, Warng or Error";
      return Step::kDone;
    }
  } else if (token == "ER") {
    line.error = true;
  } else {
    const auto* type = std::find_if(kFrameTypes.begin(), kFrameTypes.end(),
                                    [&](const FrameType& f) { return f.name == token; });
    if (type == kFrameTypes.end()) {
      if (token == "ST" || token == "EC" || token == "EV") return Step::kNoFrame;  // no frames
      reason = "type " + Quoted(token) + " is no TRC message type";
      return Step::kDone;
    }
    m.flags |= type->flags;
  }
  return Step::kNext;
}

// One column before the data: c is its letter of the $COLUMNS line.
Step ReadColumn(char c, std::string_view token, bool v1, std::int64_t startNs, TrcLine& line,
                CanLogEntry& entry, std::string& reason) {
  CanMessage& m = entry.message;
  switch (c) {
    case 'O': {
      std::int64_t offset = 0;
      if (!ParseMilliseconds(token, offset) || startNs + offset < 0 ||
          startNs + offset >= kMaxLogNs) {
        reason = "bad time offset " + Quoted(token) + " (ms, below " +
                 std::to_string(kMaxLogSeconds) + " s with the start time)";
        return Step::kDone;
      }
      entry.timeNs = startNs + offset;
      return Step::kNext;
    }
    case 'T':
      return ReadType(token, v1, line, m, reason);
    case 'B': {
      std::uint32_t bus = 0;
      if (!AllDigits(token) || token.size() > 5 || !ParseNumber(token, 10, bus) || bus > 65535) {
        reason = "bad bus " + Quoted(token);
        return Step::kDone;
      }
      char digits[8];
      entry.channel.assign(digits, std::to_chars(digits, digits + sizeof digits, bus).ptr);
      return Step::kNext;
    }
    case 'I':
      if (v1 && token == "FFFFFFFF") return Step::kNoFrame;  // a bus warning of version 1
      if (token.size() > 8 || !ParseNumber(token, 16, m.id) ||
          m.id > (token.size() > 4 ? kMaxExtendedId : kMaxStandardId)) {
        reason = "bad identifier " + Quoted(token);
        return Step::kDone;
      }
      if (token.size() > 4) m.flags |= kCanFlagExtended;
      return Step::kNext;
    case 'd':
      if (token == "Tx") {
        m.flags |= kCanFlagTransmitted;
      } else if (token != "Rx") {
        reason = "direction " + Quoted(token) + " is neither Rx nor Tx";
        return Step::kDone;
      }
      return Step::kNext;
    case 'L':
    case 'l':
      if (!ParseNumber(token, 10, line.length) || line.length > 64) {
        reason = "bad data length " + Quoted(token);
        return Step::kDone;
      }
      line.dlcColumn = c == 'L' && !v1;
      return Step::kNext;
    default:  // N, R
      return Step::kNext;
  }
}

// The length, checked against the kind of frame, and the data bytes; `reason` says what is wrong.
void ReadData(std::span<const std::string_view> data, const TrcLine& line, CanMessage& m,
              std::string& reason) {
  std::uint32_t length = line.length;
  if (m.flags & kCanFlagFd) {
    if (line.dlcColumn) {
      if (length > 15) {
        reason = "DLC " + std::to_string(length) + " above 15";
        return;
      }
      length = static_cast<std::uint32_t>(kFdLengths[length]);
    } else if (!IsFdLength(static_cast<std::int32_t>(length))) {
      reason = std::to_string(length) + " is no CAN FD length";
      return;
    }
  } else if (length > 8) {
    reason = (line.dlcColumn ? "DLC " : "length ") + std::to_string(length) + " in a classic frame";
    return;
  }
  m.length = static_cast<std::int32_t>(length);
  if (m.flags & kCanFlagRemote) return;
  if (data.size() < length) {
    reason =
        "length " + std::to_string(length) + " but " + std::to_string(data.size()) + " data bytes";
    return;
  }
  for (std::uint32_t b = 0; b < length; ++b) {
    const std::string_view byte = data[b];
    if (byte.size() != 2 || HexDigit(byte[0]) < 0 || HexDigit(byte[1]) < 0) {
      reason = "bad data byte " + Quoted(byte);
      return;
    }
    m.data[b] = static_cast<std::uint8_t>(HexDigit(byte[0]) * 16 + HexDigit(byte[1]));
  }
}

}  // namespace

bool TrcParser::Parse(std::span<const std::string_view> t, CanLogEntry& entry,
                      std::string& reason) {
  reason.clear();
  if (t.empty()) return false;
  if (t[0].front() == ';') return Header(t[0], reason);
  if (!m_started) SetVersion(10);
  CanMessage& m = entry.message;
  const bool v1 = m_version < 20;
  TrcLine line;
  std::size_t k = 0;
  entry.channel.assign(1, '1');
  for (std::size_t column = 0; column < m_columnCount && m_columns[column] != 'D'; ++column) {
    const char c = m_columns[column];
    // An error frame has no identifier: its columns end there, but for its bus.
    if (line.error && (c != 'B' || k >= t.size())) break;
    if (k >= t.size()) {
      reason = "the line ends before its columns do";
      return true;
    }
    const Step step = ReadColumn(c, t[k++], v1, m_startNs, line, entry, reason);
    if (step != Step::kNext) return step == Step::kDone;
  }
  const std::span<const std::string_view> data = t.subspan(std::min(k, t.size()));
  // Version 1.0 writes an error frame's type as data.
  if (line.error || (v1 && !data.empty() && data.front() == "ERROR")) {
    m = CanMessage{};
    m.flags = kCanFlagErrorFrame;
    return true;
  }
  if (v1 && !data.empty() && data.front() == "RTR") m.flags |= kCanFlagRemote;
  ReadData(data, line, m, reason);
  return true;
}

std::string_view TrcCannotHold(int version, const CanMessage& message) noexcept {
  if (version >= 20) return {};
  if (message.flags & kCanFlagFd) return "TRC 1.1 holds no CAN FD frames";
  if (message.flags & kCanFlagErrorFrame) return "TRC 1.1 holds no error frames";
  return {};
}

std::size_t FormatTrcHeader(std::span<char, kTrcHeaderCapacity> text, int version,
                            std::int64_t startNs) noexcept {
  char* out = text.data();
  startNs = std::max<std::int64_t>(startNs, 0);
  out = Copy(out, version >= 20 ? ";$FILEVERSION=2.1\r\n" : ";$FILEVERSION=1.1\r\n");
  out = Copy(out, ";$STARTTIME=");
  out = logtext::WriteRight(out, static_cast<std::uint64_t>(kDaysTo1970 + startNs / kNsPerDay), 0);
  *out++ = '.';
  // The fraction of the day to 15 decimals (86.4 ps): it reads back to the same nanosecond.
  for (std::int64_t i = 0, rest = startNs % kNsPerDay; i < 15; ++i) {
    rest *= 10;
    *out++ = static_cast<char>('0' + rest / kNsPerDay);
    rest %= kNsPerDay;
  }
  out = Copy(out, "\r\n");
  if (version >= 20) out = Copy(out, ";$COLUMNS=N,O,T,B,I,d,R,L,D\r\n");
  // The start for a person: UTC, as the start time line holds it.
  using namespace std::chrono;
  const auto day = sys_days(days(startNs / kNsPerDay));
  const year_month_day date(day);
  const std::int64_t inDay = startNs % kNsPerDay;
  out = Copy(out, ";\r\n;   Start time: ");
  const auto two = [&](std::int64_t v) {
    *out++ = static_cast<char>('0' + v / 10 % 10);
    *out++ = static_cast<char>('0' + v % 10);
  };
  two(static_cast<unsigned>(date.day()));
  *out++ = '.';
  two(static_cast<unsigned>(date.month()));
  *out++ = '.';
  out = logtext::WriteRight(out, static_cast<std::uint64_t>(static_cast<int>(date.year())), 4);
  *out++ = ' ';
  two(inDay / 3'600'000'000'000);
  *out++ = ':';
  two(inDay / 60'000'000'000 % 60);
  *out++ = ':';
  two(inDay / 1'000'000'000 % 60);
  *out++ = '.';
  // Milliseconds and the tenth of a millisecond: "20:27:55.975.4".
  const std::int64_t tenths = inDay / 100'000 % 10'000;
  *out++ = static_cast<char>('0' + tenths / 1000);
  two(tenths / 10 % 100);
  *out++ = '.';
  *out++ = static_cast<char>('0' + tenths % 10);
  out = Copy(out, " UTC\r\n;   Generated by canhost\r\n;\r\n");
  out = Copy(out, version >= 20
                      ? ";   Number  Offset [ms]   Type Bus ID   Rx/Tx  -  DLC  Data [hex]\r\n"
                      : ";   Number  Offset [ms]  Type  ID        Length  Data [hex]\r\n");
  return static_cast<std::size_t>(out - text.data());
}

std::size_t FormatTrc(std::span<char, kTrcLineCapacity> line, int version, std::uint64_t number,
                      std::int64_t offsetNs, std::uint32_t channel, const CanMessage& m) noexcept {
  using logtext::WriteHex;
  using logtext::WriteRight;
  char* out = line.data();
  const bool extended = (m.flags & kCanFlagExtended) != 0 || m.id > kMaxStandardId;
  const bool remote = (m.flags & kCanFlagRemote) != 0;
  const bool fd = (m.flags & kCanFlagFd) != 0;
  const int length = std::clamp(m.length, 0, fd ? 64 : 8);
  const std::string_view direction = (m.flags & kCanFlagTransmitted) ? "Tx" : "Rx";
  if (version < 20) {
    out = WriteRight(out, number, 6);
    out = Copy(out, ") ");
    out = WriteOffset(out, offsetNs, 13);
    out = Copy(out, "  ");
    out = Copy(out, direction);
    out = Copy(out, "     ");
    out = Copy(out, extended ? "" : "    ");
    out = WriteHex(out, m.id, extended ? 8 : 4);
    out = Copy(out, "  ");
    out = WriteRight(out, static_cast<std::uint64_t>(length), 0);
    if (remote) out = Copy(out, "  RTR");
  } else {
    out = WriteRight(out, number, 7);
    *out++ = ' ';
    out = WriteOffset(out, offsetNs, 13);
    *out++ = ' ';
    out = Copy(out, TypeName(m.flags));
    *out++ = ' ';
    out = WriteRight(out, channel, 2);
    *out++ = ' ';
    if (m.flags & kCanFlagErrorFrame) {
      out = Copy(out, "        ");
    } else {
      out = Copy(out, extended ? "" : "    ");
      out = WriteHex(out, m.id, extended ? 8 : 4);
    }
    *out++ = ' ';
    out = Copy(out, direction);
    out = Copy(out, " -  ");
    int dlc = 0;
    if (fd) {
      while (dlc < 15 && kFdLengths[dlc] < length)
        ++dlc;
    } else if (!(m.flags & kCanFlagErrorFrame)) {
      dlc = length;
    }
    out = WriteRight(out, static_cast<std::uint64_t>(dlc), 0);
  }
  const bool bytes = !remote && !(m.flags & kCanFlagErrorFrame);
  for (int b = 0; bytes && b < length; ++b) {
    out = Copy(out, b > 0 ? " " : version < 20 ? "  " : "    ");
    out = WriteHex(out, m.data[b], 2);
  }
  out = Copy(out, "\r\n");
  return static_cast<std::size_t>(out - line.data());
}

}  // namespace XeCanDriverKvaser
