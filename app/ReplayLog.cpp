#include "app/ReplayLog.h"

#include <algorithm>

#include "host/candriver/CanLogReader.h"

namespace app {

bool ReplayLog::Check(const std::filesystem::path& file, ReplayLog& log, std::string& error) {
  XeCanDriverKvaser::CanLogReader reader;
  if (!reader.Open(file)) {
    error = reader.error();
    return false;
  }
  log = ReplayLog();
  XeCanDriverKvaser::CanLogEntry entry;
  std::int64_t first = 0;
  std::int64_t latest = 0;
  while (reader.Next(entry)) {
    if (!entry.error.empty()) {
      error = entry.error;
      return false;
    }
    if (entry.message.flags & XeCanDriverKvaser::kCanFlagErrorFrame) continue;
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
  return true;
}

}  // namespace app
