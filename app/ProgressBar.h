#pragma once
// The progress bar of canhost run: one line on stderr, redrawn in place at most ten times a
// second of wall-clock time, shown only when stderr is a terminal and --quiet is not given.
// Log lines for stderr go through it, so that they appear above the bar instead of inside it.
//
//   Draw(0.5, 2.5, 5.0, 1234) -> "\r[##############..............]  50%  2.5/5.0 s  1234 messages"
//   Draw(1.7, ...)            -> the fraction is clamped to 100%
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/services/HostClock.h"
#include "host/settings/PrWin.h"

namespace app {

class ProgressBar {
 public:
  // Wall-clock time between two redraws, ns.
  static constexpr std::int64_t kRedrawNs = 100'000'000;

  explicit ProgressBar(bool enabled) : m_enabled(enabled) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // [any] Whether stderr is a terminal.
  static bool StderrIsTerminal();

  // [ui] Whether a redraw is due (always false when the bar is off).
  bool Due() const;
  // [ui] Draws the bar: fraction done (clamped to 0..1), seconds done of the total, messages.
  void Draw(double fraction, double seconds, double totalSeconds, std::uint64_t messages);
  // [any] Writes one line (with or without its line feed) to stderr above the bar.
  void PrintLine(const std::string& text);
  // [ui] Removes the bar from the screen.
  void Finish();

  // [ui] A log sink that writes the lines of the categories in `categoryMask` (bit n = category
  // n) through PrintLine. The caller installs it (host::AddLogSink) and removes it.
  std::shared_ptr<host::LogSink> MakeLogSink(unsigned categoryMask);

 private:
  class Sink;

  const bool m_enabled;
  host::SteadyClock m_wall;  // the run's wall clock: the host clock may be a manual one
  mutable std::mutex m_mutex;
  std::string m_bar;  // the bar as last drawn; empty when none is on screen
  std::int64_t m_lastDrawNs = -kRedrawNs;
};

}  // namespace app
