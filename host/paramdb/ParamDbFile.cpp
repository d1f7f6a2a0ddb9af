#include "host/paramdb/ParamDbFile.h"

#include <algorithm>
#include <charconv>
#include <cwchar>

#include "host/mfc/Text.h"

namespace {

bool ParseInt(std::string_view s, long long& out) {
  s = mfc::TrimBlanks(s);
  bool minus = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    minus = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  // from_chars takes a sign of its own: "--9..." would come back as the most negative number.
  if (!s.empty() && s[0] == '-') return false;
  long long v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  out = minus ? -v : v;
  return true;
}

// A value in double quotes (no escapes) or, without quotes, the trimmed text.
bool Unquote(std::string_view s, std::string_view& out) {
  s = mfc::TrimBlanks(s);
  if (!s.empty() && s.front() == '"') {
    if (s.size() < 2 || s.back() != '"') return false;
    out = s.substr(1, s.size() - 2);
    return true;
  }
  out = s;
  return true;
}

void SetText(TableType::Text& cell, std::string_view utf8) {
  TableType::strcopy(cell, mfc::WidenUtf8(utf8).c_str());
}

}  // namespace

ParamDbContent ParamDbFile::Parse(std::string_view text, const std::string& fileName) {
  ParamDbContent out;
  enum class Section { None, Signals, Properties, Aux, Unknown } section = Section::None;
  int lineNo = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    const std::string_view line = mfc::TrimBlanks(raw);
    const auto error = [&](const std::string& what) {
      std::string message = fileName;
      message.append(":").append(std::to_string(lineNo)).append(": ").append(what);
      out.errors.push_back(std::move(message));
    };
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[') {
      const std::string_view name = line.back() == ']' ? line.substr(1, line.size() - 2) : "";
      section = name == "ApplicationSignals"    ? Section::Signals
                : name == "AppSignalProperties" ? Section::Properties
                : name == "AuxStrings"          ? Section::Aux
                                                : Section::Unknown;
      if (section == Section::Unknown) error("unknown section " + std::string(line));
      continue;
    }
    if (section == Section::Unknown) continue;
    const std::size_t eq = line.find('=');
    if (section == Section::None || eq == std::string_view::npos) {
      error(section == Section::None ? "entry before the first section" : "'=' expected");
      continue;
    }
    const std::string_view key = mfc::TrimBlanks(line.substr(0, eq));
    const std::string_view value = mfc::TrimBlanks(line.substr(eq + 1));
    if (section == Section::Aux) {
      std::string_view unquoted;
      if (key.empty() || !Unquote(value, unquoted)) {
        error(key.empty() ? "name expected" : "closing quote missing");
        continue;
      }
      AuxStringRow row;
      SetText(row.name, key);
      row.text = CString::FromUtf8(unquoted);
      bool duplicate = false;
      for (const auto& other : out.aux)
        duplicate |= std::wcscmp(other.name.data(), row.name.data()) == 0;
      if (duplicate) {
        error("name " + std::string(key) + " given twice, the first stays");
        continue;
      }
      out.aux.push_back(std::move(row));
      continue;
    }
    long long number = 0;
    if (!ParseInt(key, number) || number < 0 || number > 0x7FFFFFFF) {
      error("signal number expected");
      continue;
    }
    if (section == Section::Signals) {
      if (value.empty()) {
        error("signal name expected");
        continue;
      }
      ApplicationSignalRow row;
      row.number = static_cast<int>(number);
      SetText(row.name, value);
      auto it = std::lower_bound(out.signals.begin(), out.signals.end(), row.number,
                                 [](const ApplicationSignalRow& r, int n) { return r.number < n; });
      if (it != out.signals.end() && it->number == row.number) {
        error("signal " + std::to_string(number) + " given twice, the first stays");
        continue;
      }
      out.signals.insert(it, row);
      continue;
    }
    // Properties: flags, unit code, unit modifier, "unit text"
    long long parts[3] = {0, 0, 0};
    std::string_view rest = value;
    bool ok = true;
    for (auto& part : parts) {
      const std::size_t comma = rest.find(',');
      ok = ok && comma != std::string_view::npos && ParseInt(rest.substr(0, comma), part);
      if (!ok) break;
      rest.remove_prefix(comma + 1);
    }
    std::string_view unit;
    rest = mfc::TrimBlanks(rest);
    if (!ok || rest.size() < 2 || rest.front() != '"' || !Unquote(rest, unit)) {
      error("flags, unit code, unit modifier and quoted unit text expected");
      continue;
    }
    AppSignalPropertyRow row;
    row.signal = static_cast<int>(number);
    row.flags = static_cast<unsigned>(parts[0]);
    row.unitCode = static_cast<int>(parts[1]);
    row.unitModifier = static_cast<int>(parts[2]);
    SetText(row.unitText, unit);
    out.properties.push_back(row);
  }
  return out;
}
