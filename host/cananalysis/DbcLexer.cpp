#include "host/cananalysis/DbcLexer.h"

#include <algorithm>
#include <array>

namespace XeCanAnalysis {
namespace {

bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) noexcept {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// Bytes above 0x7F belong to names: real files carry umlauts in signal names.
bool IsNameStart(char c) noexcept {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}
bool IsNameChar(char c) noexcept {
  return IsNameStart(c) || IsDigit(c);
}

bool IsValidUtf8(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// Every keyword that starts a statement, sorted for binary search.
constexpr std::array<std::string_view, 35> kKeywords = {
    "BA_",
    "BA_DEF_",
    "BA_DEF_DEF_",
    "BA_DEF_DEF_REL_",
    "BA_DEF_REL_",
    "BA_DEF_SGTYPE_",
    "BA_REL_",
    "BA_SGTYPE_",
    "BO_",
    "BO_TX_BU_",
    "BS_",
    "BU_",
    "BU_BO_REL_",
    "BU_EV_REL_",
    "BU_SG_REL_",
    "CAT_",
    "CAT_DEF_",
    "CM_",
    "ENVVAR_DATA_",
    "EV_",
    "EV_DATA_",
    "FILTER",
    "NS_",
    "NS_DESC_",
    "SGTYPE_",
    "SGTYPE_VAL_",
    "SG_",
    "SG_MUL_VAL_",
    "SIGTYPE_VALTYPE_",
    "SIG_GROUP_",
    "SIG_TYPE_REF_",
    "SIG_VALTYPE_",
    "VAL_",
    "VAL_TABLE_",
    "VERSION",
};
static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end()));

}  // namespace

bool IsDbcKeyword(std::string_view word) noexcept {
  return std::binary_search(kKeywords.begin(), kKeywords.end(), word);
}

std::string DbcText(std::string_view raw) {
  if (IsValidUtf8(raw)) return std::string(raw);
  std::string out;
  out.reserve(raw.size() + raw.size() / 4);
  for (const char ch : raw) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

DbcLexer::DbcLexer(std::string_view text) : m_text(text) {
  if (m_text.substr(0, 3) == "\xEF\xBB\xBF") m_pos = m_lineStart = 3;
  Scan();
}

DbcToken DbcLexer::Take() {
  DbcToken token = std::move(m_next);
  Scan();
  return token;
}

void DbcLexer::SkipSpaceAndComments() {
  while (m_pos < m_text.size()) {
    const char c = m_text[m_pos];
    if (c == '\n' || c == '\r') {
      ++m_pos;
      if (c == '\r' && At(m_pos) == '\n') ++m_pos;
      ++m_line;
      m_lineStart = m_pos;
    } else if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
      ++m_pos;
    } else if (c == '/' && At(m_pos + 1) == '/') {
      while (m_pos < m_text.size() && m_text[m_pos] != '\n' && m_text[m_pos] != '\r')
        ++m_pos;
    } else {
      break;
    }
  }
}

void DbcLexer::Scan() {
  SkipSpaceAndComments();
  m_next = DbcToken{};
  m_next.line = m_line;
  m_next.column = static_cast<int>(m_pos - m_lineStart) + 1;
  m_next.firstOnLine = m_line != m_lastTokenLine;
  if (m_pos >= m_text.size()) {
    m_next.kind = DbcTokenKind::End;
    return;
  }
  const char c = m_text[m_pos];
  const char c1 = At(m_pos + 1);
  const bool signedNumber =
      (c == '-' || c == '+') && (IsDigit(c1) || (c1 == '.' && IsDigit(At(m_pos + 2))));
  if (c == '"') {
    ScanString(m_next);
  } else if (IsDigit(c) || signedNumber || (c == '.' && IsDigit(c1))) {
    ScanNumberOrName(m_next);
  } else if (IsNameStart(c)) {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && IsNameChar(m_text[m_pos]))
      ++m_pos;
    m_next.kind = DbcTokenKind::Identifier;
    m_next.text = m_text.substr(start, m_pos - start);
  } else {
    m_next.kind = DbcTokenKind::Punct;
    m_next.text = m_text.substr(m_pos, 1);
    ++m_pos;
  }
  m_lastTokenLine = m_line;
}

void DbcLexer::ScanNumberOrName(DbcToken& token) {
  const std::size_t start = m_pos;
  std::size_t p = m_pos;
  const bool sign = m_text[p] == '-' || m_text[p] == '+';
  if (sign) ++p;
  if (At(p) == '0' && (At(p + 1) == 'x' || At(p + 1) == 'X') && IsHexDigit(At(p + 2))) {
    p += 2;
    while (IsHexDigit(At(p)))
      ++p;
  } else {
    while (IsDigit(At(p)))
      ++p;
    if (At(p) == '.') {
      ++p;
      while (IsDigit(At(p)))
        ++p;
    }
    if ((At(p) == 'e' || At(p) == 'E') &&
        (IsDigit(At(p + 1)) || ((At(p + 1) == '-' || At(p + 1) == '+') && IsDigit(At(p + 2))))) {
      p += IsDigit(At(p + 1)) ? 1 : 2;
      while (IsDigit(At(p)))
        ++p;
    }
  }
  token.kind = DbcTokenKind::Number;
  if (!sign && IsNameChar(At(p))) {  // a name that starts with a digit, such as 4WD_State
    while (IsNameChar(At(p)))
      ++p;
    token.kind = DbcTokenKind::Identifier;
  }
  token.text = m_text.substr(start, p - start);
  m_pos = p;
}

bool DbcLexer::StartsStatement(std::size_t pos) const noexcept {
  std::size_t end = pos;
  while (end < m_text.size() && IsNameChar(m_text[end]))
    ++end;
  const std::string_view word = m_text.substr(pos, end - pos);
  const char next = At(end);
  return !word.empty() && word.back() == '_' && IsDbcKeyword(word) &&
         (next == ' ' || next == '\t' || next == ':');
}

void DbcLexer::Unterminated(int line, int column) {
  if (m_diagnostics.size() < DbcDatabase::kKeptWhileReading)
    m_diagnostics.push_back({DbcSeverity::Error, line, column, "unterminated string"});
  else
    ++m_unlisted;
}

void DbcLexer::ScanString(DbcToken& token) {
  const std::size_t open = m_pos;
  const int openLine = m_line;
  const std::size_t openLineStart = m_lineStart;
  std::string value;
  std::size_t p = open + 1;
  bool closed = false;
  // Without this, a text of lines like \" would scan to its end from every line.
  if (m_openToEnd != std::string_view::npos && open > m_openToEnd) p = m_text.size();
  while (p < m_text.size()) {
    const char c = m_text[p];
    if (c == '\\' && (At(p + 1) == '"' || At(p + 1) == '\\')) {
      value += At(p + 1);
      p += 2;
      continue;
    }
    if (c == '"') {
      closed = true;
      break;
    }
    if (c == '\n' || c == '\r') {
      const std::size_t lineEnd = p;
      if (c == '\r' && At(p + 1) == '\n') ++p;
      if (StartsStatement(p + 1)) {
        // A line that starts with a statement keyword ends a string that lacks its closing
        // quote: one missing quote must not swallow the statements after it.
        Unterminated(openLine, static_cast<int>(open - openLineStart) + 1);
        token.text = m_text.substr(open + 1, lineEnd - open - 1);
        token.kind = DbcTokenKind::String;
        token.value = DbcText(value);
        m_pos = lineEnd;
        return;
      }
      ++m_line;
      m_lineStart = p + 1;
      value += '\n';
      ++p;
      continue;
    }
    value += c;
    ++p;
  }
  if (!closed) {
    // The string runs to the end of the file: end it at the end of its first line instead, so that
    // the statements below it are still read.
    Unterminated(openLine, static_cast<int>(open - openLineStart) + 1);
    if (m_openToEnd == std::string_view::npos) m_openToEnd = open;
    m_line = openLine;
    m_lineStart = openLineStart;
    p = open + 1;
    while (p < m_text.size() && m_text[p] != '\n' && m_text[p] != '\r')
      ++p;
    value.assign(m_text.substr(open + 1, p - open - 1));
    token.text = m_text.substr(open + 1, p - open - 1);
    m_pos = p;
  } else {
    token.text = m_text.substr(open + 1, p - open - 1);
    m_pos = p + 1;
  }
  token.kind = DbcTokenKind::String;
  token.value = DbcText(value);
}

}  // namespace XeCanAnalysis
