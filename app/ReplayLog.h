#pragma once
// What canhost learns of a log before it replays it. The log is read through once, so that a
// missing or malformed file stops the run before it starts, with one line naming the file and the
// line, and so that the progress bar knows how long the replay lasts. Its frames go into a spool
// on the way (LogSpool.h), which the replay plays: the log's text is parsed only here.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/LogSpool.h"

namespace app {

class ReplayLog {
 public:
  // Log time without a frame for at least this long is a gap: the run warns of it, and --fast
  // crosses it without running every empty frame.
  static constexpr double kGapSeconds = 60.0;

  // A silent stretch of the log, in seconds from its first frame.
  struct Gap {
    double from = 0.0;    // time of the latest frame before it
    double to = 0.0;      // time of the frame that ends it
    int line = 0;         // line of that frame (BLF: its object)
    bool object = false;  // `line` counts the objects of a BLF log
  };

  std::uint64_t frames = 0;  // CAN frames in the log (error frames left out)
  double seconds = 0.0;      // from the earliest frame to the latest one, seconds of log time
  std::vector<Gap> gaps;     // in log order
  // The log's frames (error frames left out) for the replay; null when no spool could be written
  // (no temporary space): the replay then reads the file itself.
  std::shared_ptr<const XeCanDriverKvaser::LogSpool> spool;

  // [ui] Reads the log `file` (any format of CanLogReader) through. False with one line in
  // `error`: "<file>: cannot open" or "<file>:<line>: <reason>" for the first line (BLF: object)
  // that cannot be read. The spool is made in `spoolFolder`; an empty path makes none.
  static bool Check(const std::filesystem::path& file, ReplayLog& log, std::string& error,
                    const std::filesystem::path& spoolFolder = {});
};

}  // namespace app
