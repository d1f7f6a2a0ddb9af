#pragma once
// What canhost learns of a log before it replays it. The log is read through once, so that a
// missing or malformed file stops the run before it starts, with one line naming the file and the
// line, and so that the progress bar knows how long the replay lasts.
#include <cstdint>
#include <filesystem>
#include <string>

namespace app {

class ReplayLog {
 public:
  std::uint64_t frames = 0;  // CAN frames in the log (error frames left out)
  double seconds = 0.0;      // from the earliest frame to the latest one, seconds of log time

  // [ui] Reads the candump or ASC log `file` through. False with one line in `error`:
  // "<file>: cannot open" or "<file>:<line>: <reason>" for the first line that cannot be read.
  static bool Check(const std::filesystem::path& file, ReplayLog& log, std::string& error);
};

}  // namespace app
