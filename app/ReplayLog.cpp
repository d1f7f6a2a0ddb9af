#include "app/ReplayLog.h"

#include <algorithm>

#include "host/candriver/CanLogReader.h"

namespace app {

bool ReplayLog::Check(const std::filesystem::path& file, ReplayLog& log, std::string& error,
                      const std::filesystem::path& spoolFolder) {
  XeCanDriverKvaser::CanLogReader reader;
  if (!reader.Open(file)) {
    error = reader.error();
    return false;
  }
  log = ReplayLog();
  // The spool only spares the replay a second parse: without one the run goes on as well.
  std::string ignored;
  std::unique_ptr<XeCanDriverKvaser::LogSpool> spool =
      spoolFolder.empty() ? nullptr : XeCanDriverKvaser::LogSpool::Create(spoolFolder, ignored);
  XeCanDriverKvaser::CanLogEntry entry;
  std::int64_t first = 0;
  std::int64_t latest = 0;
  while (reader.Next(entry)) {
    if (!entry.error.empty()) {
      error = entry.error;
      return false;
    }
    if (entry.message.flags & XeCanDriverKvaser::kCanFlagErrorFrame) continue;
    if (spool && !spool->Add(entry)) spool.reset();
    // The replay plays in time order, from the earliest frame, also when the log is not sorted.
    if (log.frames == 0) first = latest = entry.timeNs;
    first = std::min(first, entry.timeNs);
    if (static_cast<double>(entry.timeNs - latest) >= kGapSeconds * 1e9)
      log.gaps.push_back({static_cast<double>(latest - first) / 1e9,
                          static_cast<double>(entry.timeNs - first) / 1e9, entry.line,
                          entry.object});
    latest = std::max(latest, entry.timeNs);
    ++log.frames;
  }
  log.seconds = static_cast<double>(latest - first) / 1e9;
  if (spool && spool->Finish()) log.spool = std::move(spool);
  return true;
}

}  // namespace app
