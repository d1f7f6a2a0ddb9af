#include "app/DecodeCsv.h"

#include <charconv>
#include <cstring>

#include "host/candriver/CanId.h"

namespace app {

using XeCanDriverKvaser::CanLogEntry;

DecodeCsv::DecodeCsv(const XeCanAnalysis::DbcDatabase& db, CsvWriter& out)
    : m_out(out), m_decoder(db) {
  for (const auto& message : db.messages) {
    const std::string messageField = CsvWriter::Field(message.name);
    for (std::size_t i = 0; i < message.signals.size(); ++i) {
      const std::size_t flat = message.firstSignal + i;
      if (m_names.size() <= flat) m_names.resize(flat + 1);
      m_names[flat] = ',' + messageField + ',' + CsvWriter::Field(message.signals[i].name) + ',';
    }
  }
  m_head.reserve(96);
}

void DecodeCsv::Header() {
  m_out.Line({"time", "channel", "id", "message", "signal", "value"});
}

char* DecodeCsv::FormatSeconds(char* at, std::int64_t ns) noexcept {
  std::uint64_t abs = static_cast<std::uint64_t>(ns);
  if (ns < 0) {
    *at++ = '-';
    abs = 0 - abs;
  }
  at = std::to_chars(at, at + 20, abs / 1'000'000'000u).ptr;
  *at++ = '.';
  std::uint64_t fraction = abs % 1'000'000'000u;
  for (int digit = 8; digit >= 0; --digit) {
    at[digit] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  int digits = 9;
  while (digits > 6 && at[digits - 1] == '0')
    --digits;
  return at + digits;
}

int DecodeCsv::Frame(const CanLogEntry& entry) {
  using namespace XeCanDriverKvaser;
  const CanMessage& m = entry.message;
  const bool extended = (m.flags & kCanFlagExtended) != 0;
  if (entry.channel != m_channel) {
    m_channel = entry.channel;
    m_channelField = CsvWriter::Field(m_channel);
  }
  char text[64];
  char* end = FormatSeconds(text, entry.timeNs);
  *end++ = ',';
  m_head.assign(text, end);
  m_head += m_channelField;
  m_head += ',';
  const int digits = extended ? 8 : 3;
  std::uint32_t id = m.id;
  for (int digit = digits - 1; digit >= 0; --digit, id >>= 4)
    text[digit] = "0123456789ABCDEF"[id & 0xF];
  m_head.append(text, static_cast<std::size_t>(digits));
  return m_decoder.Decode(FlaggedId(m.id, m.flags), m.data, m.length,
                          [this](std::uint32_t flat, double value) {
                            m_out.Put(m_head);
                            m_out.Put(m_names[flat]);
                            m_out.Number(value);
                            m_out.EndRow();
                          });
}

}  // namespace app
