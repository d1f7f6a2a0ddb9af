#pragma once
// The files canhost run names on its command line: the replayed log it reads, and the outputs it
// writes (--capture, --signals as they are made, --plot at the end). They are opened first, so a
// wrong one stops the run before anything is written or measured:
//   --signals x --capture x         -> usage error: the same file named twice (also through a
//                                      link, /dev/stdout, "-")
//   --capture drive.log --replay drive.log -> usage error: an output that is an input
//   --signals out.fifo              -> waits for a reader (a stop request ends the wait)
// An output that is standard output sends canhost's own text (the summary) to stderr.
#include <filesystem>
#include <functional>
#include <string>

#include "app/AtomicOutputFile.h"
#include "app/CaptureWriter.h"
#include "app/ReplayLog.h"
#include "app/RunOptions.h"
#include "app/SignalRecorder.h"

namespace app {

class RunFiles {
 public:
  explicit RunFiles(const RunOptions& options)
      : capture(options.samplePeriod, options.samplesPerFrame),
        signals(options.samplePeriod, options.samplesPerFrame) {}

  enum class Opened {
    Ok,
    Usage,   // the command line is wrong (exit code 2)
    Failed,  // a file cannot be read or written (exit code 1)
  };

  // [ui] Checks the replay, opens the outputs. `stop` ends a wait for a FIFO's reader, `say`
  // prints a line for the user. On Usage or Failed one line is in `error`.
  Opened Open(const RunOptions& options, std::string& error, const std::function<bool()>& stop,
              const std::function<void(const std::string&)>& say);
  // [ui] The measurement starts: existing output files are emptied. False with one line.
  bool Begin(std::string& error) { return capture.Begin(error) && signals.Begin(error); }
  // [processing] Whether the recordings can go on (a full disk or a reader gone ends them).
  bool good(const RunOptions& options) const noexcept;
  // [ui] Closes the recordings and writes the picture. False with one line in `error`.
  bool Close(const RunOptions& options, std::string& error);
  // [any] Whether an output goes to standard output.
  bool WritesStdout() const noexcept;

  ReplayLog replay;
  CaptureWriter capture;
  SignalRecorder signals;
  AtomicOutputFile plot;
};

}  // namespace app
