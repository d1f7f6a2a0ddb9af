#include "host/settings/SeaFile.h"

#include <cstdint>
#include <map>

#include "host/mfc/CString.h"

namespace host {
namespace {

// Reads one physical line of a sea file. Every failure records its column and returns false.
class LineParser {
 public:
  LineParser(std::string_view text, std::wstring& what, std::size_t& column)
      : m_text(text), m_what(what), m_column(column) {}

  std::size_t column() const { return m_pos + 1; }
  bool AtEnd() {
    SkipBlanks();
    return m_pos == m_text.size();
  }
  bool AtComment() { return !AtEnd() && m_text[m_pos] == '#'; }
  bool Accept(char c) {
    if (AtEnd() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  std::string_view Keyword() {
    SkipBlanks();
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] >= 'a' && m_text[m_pos] <= 'z')
      ++m_pos;
    return m_text.substr(start, m_pos - start);
  }
  bool Fail(std::size_t column, std::wstring what) {
    m_column = column;
    m_what = std::move(what);
    return false;
  }
  bool Quoted(std::wstring& out);
  // "P0", "P1", ... up to the end of the line; nothing at all gives no parts.
  bool Parts(std::vector<std::wstring>& parts, bool required);
  bool End() { return AtEnd() || Fail(column(), L"unexpected text after the record"); }

 private:
  void SkipBlanks() {
    while (m_pos < m_text.size() &&
           (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r'))
      ++m_pos;
  }
  bool Escape(std::wstring& out);
  bool Utf8(std::wstring& out);

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::wstring& m_what;
  std::size_t& m_column;
};

bool LineParser::Quoted(std::wstring& out) {
  out.clear();
  const std::size_t open = column();
  if (!Accept('"')) return Fail(column(), L"expected '\"'");
  while (m_pos < m_text.size()) {
    const auto c = static_cast<unsigned char>(m_text[m_pos]);
    if (c == '"') {
      ++m_pos;
      return true;
    }
    if (c == '\\') {
      if (!Escape(out)) return false;
    } else if (c < 0x80) {
      out += static_cast<wchar_t>(c);
      ++m_pos;
    } else if (!Utf8(out)) {
      return false;
    }
  }
  return Fail(open, L"text not closed by '\"'");
}

bool LineParser::Escape(std::wstring& out) {
  const std::size_t at = column();
  if (m_pos + 1 >= m_text.size()) return Fail(at, L"'\\' at the end of the line");
  const char c = m_text[m_pos + 1];
  m_pos += 2;
  switch (c) {
    case '\\':
      out += L'\\';
      return true;
    case '"':
      out += L'"';
      return true;
    case 'n':
      out += L'\n';
      return true;
    case 'r':
      out += L'\r';
      return true;
    case 't':
      out += L'\t';
      return true;
    case 'u':
      break;
    default:
      return Fail(at, L"unknown escape '\\" + std::wstring(1, static_cast<wchar_t>(c)) + L"'");
  }
  if (m_pos >= m_text.size() || m_text[m_pos] != '{') return Fail(at, L"expected \\u{HEX}");
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '}'; ++m_pos, ++digits) {
    const char h = m_text[m_pos];
    const int v = (h >= '0' && h <= '9')   ? h - '0'
                  : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                  : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                           : -1;
    if (v < 0 || digits == 8) return Fail(at, L"expected \\u{HEX} with 1 to 8 hex digits");
    value = value << 4 | static_cast<std::uint32_t>(v);
  }
  if (m_pos >= m_text.size() || digits == 0)
    return Fail(at, L"expected \\u{HEX} with 1 to 8 hex digits");
  ++m_pos;
  out += static_cast<wchar_t>(value);
  return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool LineParser::Utf8(std::wstring& out) {
  const std::size_t at = column();
  const auto lead = static_cast<unsigned char>(m_text[m_pos]);
  std::size_t length = 0;
  std::uint32_t value = 0;
  std::uint32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return Fail(at, L"invalid UTF-8");
  }
  if (m_pos + length > m_text.size()) return Fail(at, L"invalid UTF-8");
  for (std::size_t i = 1; i < length; ++i) {
    const auto c = static_cast<unsigned char>(m_text[m_pos + i]);
    if ((c & 0xC0) != 0x80) return Fail(at, L"invalid UTF-8");
    value = value << 6 | (c & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return Fail(at, L"invalid UTF-8");
  m_pos += length;
  out += static_cast<wchar_t>(value);
  return true;
}

bool LineParser::Parts(std::vector<std::wstring>& parts, bool required) {
  parts.clear();
  if (!required && AtEnd()) return true;
  for (;;) {
    SkipBlanks();
    if (!Quoted(parts.emplace_back())) return false;
    if (AtEnd()) return true;
    if (!Accept(',')) return Fail(column(), L"expected ',' or the end of the line");
  }
}

void AppendUtf8(std::string& out, std::uint32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | u >> 6);
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | u >> 12);
    out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | u >> 18);
    out += static_cast<char>(0x80 | (u >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

void AppendParts(std::string& out, const std::vector<std::wstring>& parts) {
  for (std::size_t i = 0; i < parts.size(); ++i) {
    out += i == 0 ? "" : ", ";
    out += SeaFile::Quote(parts[i]);
  }
}

// The writer's first line starts so; with kClosedMark in it, the file ends with kEndLine.
// (kClosedMark is looked for in the whole line: a file cut inside it holds no line feed.)
constexpr std::string_view kHeaderStart = "# Sea \"";
constexpr std::string_view kClosedMark = ", closed by its end line;";
constexpr std::string_view kEndLine = "# end of sea ";

// A file the writer made that was cut short: false with the place where it ends in `error`.
bool CheckWhole(std::string_view bytes, SeaError& error) {
  const std::string_view first = bytes.substr(0, bytes.find('\n'));
  if (!first.starts_with(kHeaderStart)) return true;
  std::size_t lines = 0;
  std::size_t lastStart = 0;
  bool ended = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t nl = bytes.find('\n', at);
    const std::string_view line = bytes.substr(at, nl == std::string_view::npos ? nl : nl - at);
    ++lines;
    lastStart = at;
    ended = ended || (lines > 1 && line.starts_with(kEndLine));
    at = nl == std::string_view::npos ? bytes.size() : nl + 1;
  }
  const std::size_t lastLength = bytes.size() - lastStart - (bytes.ends_with('\n') ? 1 : 0);
  error.line = lines;
  error.column = lastLength + 1;
  if (!bytes.ends_with('\n')) {
    error.what = L"the file ends inside this line, which has no line feed: it was cut short";
    return false;
  }
  if (first.find(kClosedMark) != std::string_view::npos && !ended) {
    error.what = L"the file ends before its end line (\"# end of sea ...\"): it was cut short";
    return false;
  }
  return true;
}

}  // namespace

std::wstring SeaError::ToString() const {
  std::wstring text = file.wstring();
  if (line > 0) text += L":" + std::to_wstring(line);
  if (line > 0 && column > 0) text += L":" + std::to_wstring(column);
  return text + L": " + what;
}

bool SeaFile::Parse(std::string_view bytes, const std::filesystem::path& file, SeaContent& content,
                    SeaError& error) {
  content = {};
  error = SeaError{file, 0, 0, {}};
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);  // byte order mark of editors
  if (!CheckWhole(bytes, error)) return false;
  std::map<std::wstring, std::size_t> entryLines;
  std::map<std::wstring, std::size_t> listLines;
  SeaContent::List* list = nullptr;
  std::wstring name;
  for (std::size_t lineNo = 1; !bytes.empty(); ++lineNo) {
    const std::size_t end = bytes.find('\n');
    const std::string_view text = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    error.line = lineNo;
    LineParser p(text, error.what, error.column);
    if (p.AtEnd() || p.AtComment()) continue;
    const std::size_t keywordColumn = p.column();
    const std::string_view keyword = p.Keyword();
    if (keyword == "entry") {
      if (!p.Quoted(name)) return false;
      if (const auto [it, fresh] = entryLines.emplace(name, lineNo); !fresh)
        return p.Fail(keywordColumn, L"entry \"" + name + L"\" given twice (first at line " +
                                         std::to_wstring(it->second) + L")");
      auto& entry = content.entries.emplace_back(SeaContent::Entry{name, {}});
      if (p.Accept('=')) {
        if (!p.Parts(entry.parts, true)) return false;
      } else if (!p.AtEnd()) {
        return p.Fail(p.column(), L"expected '=' or the end of the line");
      }
    } else if (keyword == "list") {
      if (!p.Quoted(name) || !p.End()) return false;
      if (const auto [it, fresh] = listLines.emplace(name, lineNo); !fresh)
        return p.Fail(keywordColumn, L"list \"" + name + L"\" given twice (first at line " +
                                         std::to_wstring(it->second) + L")");
      list = &content.lists.emplace_back(SeaContent::List{name, {}});
    } else if (keyword == "line") {
      if (!list) return p.Fail(keywordColumn, L"line outside a list");
      if (!p.Parts(list->lines.emplace_back(), false)) return false;
    } else {
      return p.Fail(keywordColumn, L"expected entry, list, line or a # comment");
    }
  }
  error = SeaError{file, 0, 0, {}};
  return true;
}

std::string SeaFile::Quote(std::wstring_view text) {
  std::string out = "\"";
  for (const wchar_t c : text) {
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): a 32-bit wchar_t keeps its value unextended
    const auto u = static_cast<std::uint32_t>(c);
    switch (c) {
      case L'\\':
        out += "\\\\";
        continue;
      case L'"':
        out += "\\\"";
        continue;
      case L'\n':
        out += "\\n";
        continue;
      case L'\r':
        out += "\\r";
        continue;
      case L'\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      std::string hex;
      for (std::uint32_t v = u; v != 0 || hex.empty(); v >>= 4)
        hex.insert(hex.begin(), kHex[v & 15]);
      out += "\\u{" + hex + "}";
    } else {
      AppendUtf8(out, u);
    }
  }
  return out + "\"";
}

std::string SeaFile::Write(const SeaContent& content, std::wstring_view seaName) {
  std::string out = "# Sea " + Quote(seaName) +
                    " of the host settings: UTF-8, one record per line, closed by its end line; "
                    "comments are not kept.\n";
  for (const auto& entry : content.entries) {
    out += "entry " + Quote(entry.name);
    if (!entry.parts.empty()) out += " = ";
    AppendParts(out, entry.parts);
    out += '\n';
  }
  for (const auto& list : content.lists) {
    out += "list " + Quote(list.name) + '\n';
    for (const auto& line : list.lines) {
      out += line.empty() ? "line" : "line ";
      AppendParts(out, line);
      out += '\n';
    }
  }
  return out + std::string(kEndLine) + Quote(seaName) + '\n';
}

}  // namespace host
