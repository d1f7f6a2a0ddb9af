// canhost dbc decode: a CAN log of any format decoded with a DBC file, as CSV on stdout.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "app/CmdDbc.h"
#include "app/Commands.h"
#include "app/CsvWriter.h"
#include "app/DecodeCsv.h"
#include "host/cananalysis/DbcParser.h"
#include "host/candriver/CanLogReader.h"
#include "host/mfc/Text.h"

namespace app {
namespace {

using namespace XeCanAnalysis;
using XeCanDriverKvaser::CanLogEntry;

// Unreadable lines reported one by one; the rest are only counted.
constexpr std::uint64_t kShownUnreadable = 20;

const Command& Self() {
  for (const auto& c : Commands())
    if (std::string(c.name) == "dbc") return c;
  return Commands().front();
}

// What became of the lines of the log.
struct DecodeCounts {
  std::uint64_t frames = 0;      // data frames decoded
  std::uint64_t unknown = 0;     // of those, with an identifier the DBC file does not have
  std::uint64_t unreadable = 0;  // lines that are no CAN frame
  std::uint64_t skipped = 0;     // error and remote frames: no data to decode
};

// Writes one CSV row per signal the entry's frame carries.
void DecodeEntry(const CanLogEntry& entry, DecodeCsv& rows, DecodeCounts& counts) {
  if (!entry.error.empty()) {
    // A binary file would give a line for each of its lines: the first few are enough.
    if (++counts.unreadable <= kShownUnreadable)
      std::fprintf(stderr, "canhost: %s\n", entry.error.c_str());
    return;
  }
  if (entry.message.flags &
      (XeCanDriverKvaser::kCanFlagErrorFrame | XeCanDriverKvaser::kCanFlagRemote)) {
    ++counts.skipped;
    return;
  }
  ++counts.frames;
  if (rows.Frame(entry) < 0) ++counts.unknown;
}

// The closing lines on stderr; the exit code.
int Report(const DecodeCounts& counts, const std::string& dbcFile, const std::string& logFile,
           bool objects) {
  if (counts.unknown > 0)
    std::fprintf(stderr,
                 "canhost: %" PRIu64 " of %" PRIu64 " frames skipped: identifier not in %s\n",
                 counts.unknown, counts.frames, dbcFile.c_str());
  if (counts.unreadable > 0)
    std::fprintf(stderr, "canhost: %" PRIu64 " %s of %s could not be read\n", counts.unreadable,
                 objects ? "objects" : "lines", logFile.c_str());
  if (counts.unreadable > 0 && counts.frames == 0 && counts.skipped == 0) {
    std::fprintf(stderr, "canhost: %s: no %s could be read as a CAN frame\n", logFile.c_str(),
                 objects ? "object" : "line");
    return kExitError;
  }
  return kExitOk;
}

}  // namespace

int RunDbcDecode(const std::vector<std::string>& args) {
  std::string dbcFile, logFile;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--dbc" && i + 1 < args.size()) {
      dbcFile = args[++i];
    } else if (args[i].rfind("--", 0) == 0 || !logFile.empty()) {
      return UsageError(Self(), "unexpected argument " + mfc::QuoteToken(args[i]));
    } else {
      logFile = args[i];
    }
  }
  if (dbcFile.empty() || logFile.empty())
    return UsageError(Self(), dbcFile.empty() ? "missing --dbc FILE.dbc" : "missing LOG");

  DbcDatabase db;
  std::string error;
  if (!DbcParser::ParseFile(dbcFile, db, error)) {
    std::fprintf(stderr, "canhost: %s\n", error.c_str());
    return kExitError;
  }
  // The errors, the first few of them: a binary file would give one for nearly every line.
  std::size_t shown = 0;
  for (const auto& d : db.diagnostics)
    if (d.severity == DbcSeverity::Error && shown++ < kShownUnreadable)
      std::fprintf(stderr, "%s\n", FormatDbcDiagnostic(dbcFile, d).c_str());
  if (db.ErrorCount() > kShownUnreadable)
    std::fprintf(stderr, "canhost: %s: %zu more errors (canhost dbc info lists them)\n",
                 dbcFile.c_str(), db.ErrorCount() - kShownUnreadable);

  XeCanDriverKvaser::CanLogReader reader;
  if (!reader.Open(logFile)) {
    std::fprintf(stderr, "canhost: %s\n", reader.error().c_str());
    return kExitError;
  }
  CsvWriter csv(stdout);
  DecodeCsv rows(db, csv);
  rows.Header();
  CanLogEntry entry;
  DecodeCounts counts;
  while (csv.ok() && reader.Next(entry))
    DecodeEntry(entry, rows, counts);
  if (!csv.Finish()) {
    std::fprintf(stderr, "canhost: %s\n", csv.error().c_str());
    return kExitError;
  }
  return Report(counts, dbcFile, logFile, reader.format() == XeCanDriverKvaser::CanLogFormat::Blf);
}

}  // namespace app
