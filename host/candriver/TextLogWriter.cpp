#include "host/candriver/TextLogWriter.h"

#include <array>

#include "host/candriver/AscFormat.h"
#include "host/candriver/BlfFormat.h"
#include "host/candriver/CandumpFormat.h"

namespace XeCanDriverKvaser {

TextLogWriter::TextLogWriter(CanLogFormat format, std::FILE* out, std::string name,
                             const CanLogWriterOptions& options) noexcept
    : CanLogWriter(out, std::move(name)),
      m_format(format),
      m_trcVersion(options.trcVersion < 20 ? kTrcVersion11 : kTrcVersion21) {}

bool TextLogWriter::Begin(std::int64_t firstNs) {
  m_begun = true;
  if (m_format == CanLogFormat::Asc) {
    const std::string_view header = AscHeader();
    return Put(header.data(), header.size());
  }
  if (m_format != CanLogFormat::Trc) return true;
  constexpr std::int64_t kMs = 1'000'000;
  m_startNs = firstNs >= blf::kFirstDateNs ? firstNs / kMs * kMs : 0;
  std::array<char, kTrcHeaderCapacity> header;
  return Put(header.data(), FormatTrcHeader(header, m_trcVersion, m_startNs));
}

bool TextLogWriter::Write(const CanLogEntry& entry) {
  if (!entry.error.empty()) return true;
  if (!m_begun && !Begin(entry.timeNs)) return false;
  const CanMessage& m = entry.message;
  std::size_t length = 0;
  std::array<char, kAscLineCapacity> line;  // the largest of the three
  static_assert(kAscLineCapacity >= kCandumpLineCapacity && kAscLineCapacity >= kTrcLineCapacity);
  switch (m_format) {
    case CanLogFormat::Asc:
      length = FormatAsc(line, entry.timeNs, ChannelNumber(entry.channel), m);
      break;
    case CanLogFormat::Trc: {
      if (const std::string_view why = TrcCannotHold(m_trcVersion, m); !why.empty())
        return Refuse(why);
      const std::uint32_t channel = ChannelNumber(entry.channel);
      if (m_trcVersion < 20) {
        if (m_onlyChannel != 0 && channel != m_onlyChannel)
          return Refuse("TRC 1.1 holds one channel: a frame on " + entry.channel +
                        " after frames on another");
        m_onlyChannel = channel;
      }
      length = FormatTrc(std::span<char, kTrcLineCapacity>(line.data(), kTrcLineCapacity),
                         m_trcVersion, m_written + 1, entry.timeNs - m_startNs, channel, m);
      break;
    }
    default: {
      std::array<char, kInterfaceCapacity> renamed;
      length =
          FormatCandump(std::span<char, kCandumpLineCapacity>(line.data(), kCandumpLineCapacity),
                        entry.timeNs, CandumpInterface(entry.channel, renamed), m);
      break;
    }
  }
  if (!Put(line.data(), length)) return false;
  ++m_written;
  return true;
}

bool TextLogWriter::Finish() {
  if (!m_begun && !Begin(0)) return false;
  if (m_format == CanLogFormat::Asc && !Put(kAscFooter.data(), kAscFooter.size())) return false;
  return FlushStream();
}

}  // namespace XeCanDriverKvaser
