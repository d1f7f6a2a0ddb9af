#include "app/CmdDbc.h"

#include <charconv>
#include <cstdio>

#include "app/Commands.h"
#include "host/cananalysis/DbcLinker.h"
#include "host/cananalysis/DbcParser.h"
#include "host/mfc/Text.h"

namespace app {
namespace {

using namespace XeCanAnalysis;

const Command& Self() {
  for (const auto& c : Commands())
    if (std::string(c.name) == "dbc") return c;
  return Commands().front();
}

// Shortest text that reads back as the same double.
std::string Number(double v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return std::string(text, r.ptr);
}

std::string MuxText(const DbcMessage& m, const DbcSignal& s) {
  std::string out;
  if (s.muxParent >= 0) {
    out += " [" + m.signals[static_cast<std::size_t>(s.muxParent)].name + " in ";
    for (std::size_t i = 0; i < s.muxRanges.size(); ++i) {
      if (i) out += ',';
      out += std::to_string(s.muxRanges[i].low);
      if (s.muxRanges[i].high != s.muxRanges[i].low)
        out += ".." + std::to_string(s.muxRanges[i].high);
    }
    out += ']';
  }
  if (s.isSwitch) out += " [switch]";
  return out;
}

const char* TypeText(DbcValueType t) {
  switch (t) {
    case DbcValueType::Unsigned:
      return "+";
    case DbcValueType::Signed:
      return "-";
    case DbcValueType::Float32:
      return "- float";
    default:
      return "- double";
  }
}

}  // namespace

int RunDbc(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError(Self(), "missing sub-command (info or decode)");
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "info") return RunDbcInfo(rest);
  if (args[0] == "decode") return RunDbcDecode(rest);
  return UsageError(Self(), "unknown sub-command " + mfc::QuoteToken(args[0]));
}

int RunDbcInfo(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].rfind("--", 0) == 0)
    return UsageError(Self(), args.empty() ? "missing FILE.dbc" : "info takes one FILE.dbc");
  const std::string& file = args[0];
  DbcDatabase db;
  std::string error;
  if (!DbcParser::ParseFile(file, db, error)) {
    std::fprintf(stderr, "canhost: %s\n", error.c_str());
    return kExitError;
  }
  std::printf("%s: %zu messages, %u signals, %zu errors, %zu warnings\n", file.c_str(),
              db.messages.size(), db.signalCount, db.ErrorCount(), db.WarningCount());
  for (const DbcMessage& m : db.messages) {
    std::printf("%s %s %d bytes", DescribeCanId(m.CanId()).c_str(), m.name.c_str(), m.length);
    if (!m.transmitters.empty()) std::printf(" from %s", m.transmitters.front().c_str());
    std::printf("\n");
    for (const DbcSignal& s : m.signals) {
      std::printf("  %s %d|%d@%d%s (%s,%s) [%s|%s] \"%s\"%s\n", s.name.c_str(), s.startBit,
                  s.length, s.byteOrder == DbcByteOrder::Intel ? 1 : 0, TypeText(s.valueType),
                  Number(s.factor).c_str(), Number(s.offset).c_str(), Number(s.minimum).c_str(),
                  Number(s.maximum).c_str(), s.unit.c_str(), MuxText(m, s).c_str());
      if (!s.values.empty()) {
        std::printf("    values:");
        for (const auto& v : s.values)
          std::printf(" %lld \"%s\"", static_cast<long long>(v.value), v.text.c_str());
        std::printf("\n");
      }
    }
  }
  for (const auto& d : db.diagnostics)
    std::printf("%s\n", FormatDbcDiagnostic(file, d).c_str());
  if (db.Unlisted() > 0)
    std::printf("%s: %zu more errors and warnings not listed (the first %zu are)\n", file.c_str(),
                db.Unlisted(), DbcDatabase::kMaxDiagnostics);
  if (db.ErrorCount() > 0) {
    std::fprintf(stderr, "canhost: %s: %zu errors\n", file.c_str(), db.ErrorCount());
    return kExitError;
  }
  return kExitOk;
}
}  // namespace app
