#include "host/paramdb/ParamDbFile.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>

#include "host/mfc/Text.h"

namespace {

bool ParseInt(std::string_view s, long long& out) {
  return mfc::ParseWholeNumber(mfc::TrimBlanks(s), out, 0);
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

enum class Section { None, Signals, Properties, Aux, Unknown };

Section SectionOf(std::string_view header) {
  const std::string_view name = header.back() == ']' ? header.substr(1, header.size() - 2) : "";
  return name == "ApplicationSignals"    ? Section::Signals
         : name == "AppSignalProperties" ? Section::Properties
         : name == "AuxStrings"          ? Section::Aux
                                         : Section::Unknown;
}

// The line handlers return what is wrong with the line, empty when it was taken.
std::string AddAux(ParamDbContent& out, std::string_view key, std::string_view value) {
  std::string_view unquoted;
  if (key.empty() || !Unquote(value, unquoted))
    return key.empty() ? "name expected" : "closing quote missing";
  AuxStringRow row;
  SetText(row.name, key);
  row.text = CString::FromUtf8(unquoted);
  for (const auto& other : out.aux)
    if (std::wcscmp(other.name.data(), row.name.data()) == 0)
      return "name " + std::string(key) + " given twice, the first stays";
  out.aux.push_back(std::move(row));
  return {};
}

std::string AddSignal(ParamDbContent& out, int number, std::string_view value) {
  if (value.empty()) return "signal name expected";
  ApplicationSignalRow row;
  row.number = number;
  SetText(row.name, value);
  auto it = std::lower_bound(out.signals.begin(), out.signals.end(), row.number,
                             [](const ApplicationSignalRow& r, int n) { return r.number < n; });
  if (it != out.signals.end() && it->number == row.number)
    return "signal " + std::to_string(number) + " given twice, the first stays";
  out.signals.insert(it, row);
  return {};
}

// flags, unit code, unit modifier, "unit text"
std::string AddProperty(ParamDbContent& out, int number, std::string_view value) {
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
  if (!ok || rest.size() < 2 || rest.front() != '"' || !Unquote(rest, unit))
    return "flags, unit code, unit modifier and quoted unit text expected";
  AppSignalPropertyRow row;
  row.signal = number;
  row.flags = static_cast<unsigned>(parts[0]);
  row.unitCode = static_cast<int>(parts[1]);
  row.unitModifier = static_cast<int>(parts[2]);
  SetText(row.unitText, unit);
  out.properties.push_back(row);
  return {};
}

// A "key = value" line of the section.
std::string AddEntry(ParamDbContent& out, Section section, std::string_view line) {
  const std::size_t eq = line.find('=');
  if (section == Section::None) return "entry before the first section";
  if (eq == std::string_view::npos) return "'=' expected";
  const std::string_view key = mfc::TrimBlanks(line.substr(0, eq));
  const std::string_view value = mfc::TrimBlanks(line.substr(eq + 1));
  if (section == Section::Aux) return AddAux(out, key, value);
  long long number = 0;
  if (!ParseInt(key, number) || number < 0 || number > 0x7FFFFFFF) return "signal number expected";
  return section == Section::Signals ? AddSignal(out, static_cast<int>(number), value)
                                     : AddProperty(out, static_cast<int>(number), value);
}

}  // namespace

ParamDbContent ParamDbFile::Parse(std::string_view text, const std::string& fileName) {
  ParamDbContent out;
  Section section = Section::None;
  int lineNo = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    const std::string_view line = mfc::TrimBlanks(raw);
    if (line.empty() || line[0] == '#') continue;
    std::string error;
    if (line.front() == '[') {
      section = SectionOf(line);
      if (section == Section::Unknown) error = "unknown section " + std::string(line);
    } else if (section != Section::Unknown) {
      error = AddEntry(out, section, line);
    }
    if (!error.empty()) {
      std::string message = fileName;
      message.append(":").append(std::to_string(lineNo)).append(": ").append(error);
      out.errors.push_back(std::move(message));
    }
  }
  return out;
}
