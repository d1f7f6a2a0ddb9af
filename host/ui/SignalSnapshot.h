#pragma once
// Decoded application signals as the windows and the plot renderer see them: the latest value of
// each signal and its recent points. The processing thread publishes a new snapshot after every
// frame and never changes one it has published, so a window reads it without a lock.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

struct PlotPoint {
  double time;   // seconds from the start of the measurement
  double value;  // in the series' unit
};

// One curve: a signal's values in time order. A value holds until the next one (a step).
struct PlotSeries {
  std::string name;               // application signal, "Engine speed"
  std::string unit;               // "1/min"; may be empty
  std::vector<PlotPoint> points;  // ascending time
};

struct SignalRow {
  PlotSeries series;             // points of the last SignalSnapshot::kWindowSeconds at most
  std::string source;            // the source whose channel delivered the values, "CAN 0"
  bool hasValue = false;         // false until the first value
  double value = 0.0;            // last value
  double time = 0.0;             // time of the last value, seconds from the start
  bool timedOut = false;         // silent for longer than the sink's time-out since the last value
  std::uint32_t timeouts = 0;    // silences that ran into the time-out
  bool fromMessageList = false;  // a DBC signal charted from the message list: plotted at once
};

struct SignalSnapshot {
  // Points older than this behind the newest frame are not kept.
  static constexpr double kWindowSeconds = 60.0;
  // Bound on the points kept per signal, whatever the signal's rate.
  static constexpr std::size_t kMaxPoints = 4096;

  double seconds = 0.0;         // measured time at the end of the latest frame
  std::vector<SignalRow> rows;  // sorted by name, then source
};

using SignalSnapshotPtr = std::shared_ptr<const SignalSnapshot>;

}  // namespace ui
