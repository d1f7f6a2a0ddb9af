#include "host/cananalysis/DbcDecoderConfig.h"

#include <cmath>
#include <cstdio>

#include "host/mfc/Text.h"
#include "host/settings/SettingsFolder.h"

namespace XeCanAnalysis {

std::filesystem::path DbcDecoderConfig::PathFor(const CString& decoderName) {
  // Decoder names become file names: anything a file name cannot hold becomes '_'.
  std::string name = decoderName.ToUtf8();
  for (char& c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (name.empty() || name[0] == '.') name = '_' + name;
  name += ".txt";
  return host::SettingsFolder() / "decoders" / name;
}

DbcDecoderConfig DbcDecoderConfig::Parse(std::string_view text, const std::string& fileName,
                                         std::vector<std::string>& errors) {
  DbcDecoderConfig config;
  int lineNo = 0;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view line = mfc::TrimBlanks(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    const auto error = [&](const std::string& what) {
      std::string message = fileName;
      message.append(":").append(std::to_string(lineNo)).append(": ").append(what);
      errors.push_back(std::move(message));
    };
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    const std::string_view key = mfc::TrimBlanks(line.substr(0, eq));
    const std::string_view value =
        eq == std::string_view::npos ? "" : mfc::TrimBlanks(line.substr(eq + 1));
    if (key == "file" && eq != std::string_view::npos) {
      config.dbcFile = CString::FromUtf8(value);
    } else if (key == "signals" && (value == "all" || value == "assigned")) {
      config.allSignals = value == "all";
    } else if (key == "signals") {
      error("signals = all or signals = assigned expected");
    } else if (key.substr(0, 7) == "assign " || key == "assign") {
      // assign ID SIGNAL = NUMBER
      std::string_view rest = mfc::TrimBlanks(key.substr(6));
      const std::size_t space = rest.find_first_of(" \t");
      long long id = 0, number = 0;
      const std::string_view signal =
          space == std::string_view::npos ? "" : mfc::TrimBlanks(rest.substr(space + 1));
      if (eq == std::string_view::npos || space == std::string_view::npos || signal.empty() ||
          signal.find_first_of(" \t") != std::string_view::npos ||
          !mfc::ParseWholeNumber(rest.substr(0, space), id, 16) || id < 0 || id > 0xFFFFFFFFll ||
          !mfc::ParseWholeNumber(value, number, 10) || number < -1 || number > 0x7FFFFFFF) {
        error("assign MESSAGE-ID SIGNAL = NUMBER expected");
        continue;
      }
      const auto raw = static_cast<std::uint32_t>(id);
      if ((raw & ~kCanIdExtended) > kMaxExtendedId) {
        error("message " + std::string(rest.substr(0, space)) + " is no CAN identifier");
        continue;
      }
      const auto canId = NormaliseFlaggedId(raw);
      config.assignments[{canId, std::string(signal)}] = static_cast<int>(number);
    } else {
      error("unknown entry " + mfc::QuoteToken(key));
    }
  }
  return config;
}

std::string DbcDecoderConfig::Format(const CString& decoderName) const {
  std::string out = "# canhost DBC decoder \"" + decoderName.ToUtf8() + "\"\n";
  if (!dbcFile.IsEmpty()) out += "file = " + dbcFile.ToUtf8() + "\n";
  if (allSignals) out += "signals = all\n";
  for (const auto& [key, number] : assignments) {
    char id[16];
    std::snprintf(id, sizeof id, "0x%X", key.canId);
    out += std::string("assign ") + id + " " + key.signal + " = " + std::to_string(number) + "\n";
  }
  return out;
}

std::vector<int> DbcDecoderConfig::ApplicationNumbers(const DbcDatabase& database) const {
  std::vector<int> numbers(database.signalCount, -1);
  for (const DbcMessage& m : database.messages)
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      const DbcSignal& s = m.signals[i];
      int& number = numbers[m.firstSignal + i];
      if (const auto it = assignments.find({m.CanId(), s.name}); it != assignments.end()) {
        number = it->second;
      } else if (const DbcAttrValue* v = database.SignalAttribute(s, kAppSignalAttribute);
                 v && !v->isText && v->number >= 0 && v->number <= 2147483647.0) {
        number = static_cast<int>(std::floor(v->number));
      }
    }
  return numbers;
}

}  // namespace XeCanAnalysis
