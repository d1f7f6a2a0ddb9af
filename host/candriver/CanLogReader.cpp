#include "host/candriver/CanLogReader.h"

#include "host/candriver/BlfReader.h"
#include "host/candriver/CandumpFormat.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser {
namespace {
// Bytes looked at to tell a log's format.
constexpr std::size_t kHeadBytes = 4096;
// Copied over a message to empty it: GCC clears a CanMessage{} with `rep stos`, whose start-up
// cost was a fifth of a candump line's parsing; a copy is a few vector moves.
constexpr CanMessage kNoMessage{};
}  // namespace

CanLogReader::CanLogReader() = default;
CanLogReader::~CanLogReader() = default;

void CanLogReader::Reset(std::string name) {
  m_name = std::move(name);
  m_lineNumber = 0;
  m_asc = AscParser();
  m_trc = TrcParser();
  m_format = CanLogFormat::Candump;
  m_error.clear();
}

bool CanLogReader::Begin() {
  m_format = FormatOfContent(m_name, m_input.Peek(kHeadBytes));
  if (m_format != CanLogFormat::Blf) return true;
  if (!m_blf) m_blf = std::make_unique<BlfReader>();
  return m_blf->Start(m_input, m_name, m_error);
}

bool CanLogReader::Open(const std::filesystem::path& file) {
  Reset(file.string());
  return m_input.Open(file, m_error) && Begin();
}

bool CanLogReader::OpenText(std::string_view bytes, std::string name) {
  Reset(std::move(name));
  m_input.OpenMemory(bytes);
  return Begin();
}

bool CanLogReader::Next(CanLogEntry& entry) {
  if (!m_error.empty()) return false;
  if (m_format == CanLogFormat::Blf) return m_blf->Next(entry);
  std::string_view line;
  while (m_input.ReadLine(line)) {
    ++m_lineNumber;
    if (m_input.tooLong()) {
      entry = CanLogEntry{};
      entry.line = m_lineNumber;
      entry.error = m_name + ":" + std::to_string(m_lineNumber) + ": a line longer than " +
                    std::to_string(kMaxLineBytes) + " bytes: not a CAN log; reading stops here";
      return true;
    }
    if (ParseLine(line, entry)) {
      if (!entry.error.empty()) entry.error.insert(0, m_name + ":");
      return true;
    }
  }
  return false;
}

bool CanLogReader::ReadLine(std::string_view line, CanLogEntry& entry) {
  ++m_lineNumber;
  return ParseLine(line, entry);
}

bool CanLogReader::ParseLine(std::string_view line, CanLogEntry& entry) {
  // Nearly every line of a candump log is of the plain form: read it without splitting it.
  if (m_format != CanLogFormat::Trc && ParsePlainCandump(line, entry)) {
    entry.line = m_lineNumber;
    return true;
  }
  mfc::SplitBlanks(line, m_tokens);
  entry.timeNs = 0;
  entry.channel.clear();
  entry.message = kNoMessage;
  entry.line = m_lineNumber;
  entry.object = false;
  entry.error.clear();
  if (m_tokens.empty()) return false;
  bool frame = false;
  if (m_format == CanLogFormat::Trc) {
    frame = m_trc.Parse(m_tokens, entry, m_reason);
  } else if (m_tokens[0].front() == '(') {
    m_reason = ParseCandump(m_tokens, entry);
    frame = true;
  } else {
    frame = m_asc.Parse(m_tokens, entry, m_reason);
  }
  if (frame && !m_reason.empty()) {
    entry.timeNs = 0;
    entry.channel.clear();
    entry.message = CanMessage{};
    entry.error = std::to_string(m_lineNumber) + ": " + m_reason;
  }
  return frame;
}

}  // namespace XeCanDriverKvaser
