#pragma once
// The summary canhost run prints at its end (also after Ctrl-C): per source and channel what
// became of its messages since the start, the frames run and the effective message rates. Every
// message a source received is delivered, dropped as old (it came too late), dropped for want of
// room (in time, but the region near its time was full), discarded as future, still waiting, or
// lost to a full queue on its way (overflow), so the columns of a row add up to its "received".
//
//   canhost run: 30 frames of 0.100 s = 3.000 s, real time
//   channel   received  delivered       old   no room    future   waiting  overflow  source
//         0       1230       1227         0         0         0         3         0  CAN 0
//         1       1230       1218         4         2         1         3         2  CAN 1
//     total       2460       2445         4         2         1         6         2
//   effective rate: 815.0 messages/s of measurement, 815.0 messages/s of wall-clock time
//
// With --fast the first line ends in "fast"; a run stopped early says by what: "stopped by
// Ctrl-C", "stopped by SIGTERM", "stopped by a failed output".
//
// Then the decoded signals (FormatSignals): every value counts, NaN and infinities too, which
// min and max leave out ("-" when a signal has no finite value); and the packets the sink decoded
// with the values that came in a slow sample which had a value of their signal already (recorded
// like the others; the host's value lists hold one a slow sample):
//   signal                      unit        values          last           min           max
//   nan/inf  time-outs
//   Engine speed                1/min          500          1500           800          2000
//   0          0
//   packets decoded: 1200, values that shared a slow sample with an earlier one of their signal: 3
#include <cstdint>
#include <string>
#include <vector>

#include "app/SignalRecorder.h"
#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/slowsampling/CSlowSinkPlugin.h"

namespace app {

class RunSummary {
 public:
  std::uint64_t frames = 0;   // frames run
  double frameSeconds = 0.0;  // length of a frame, seconds
  double wallSeconds = 0.0;   // wall-clock time from start to stop, seconds
  bool fast = false;          // --fast
  std::string stoppedBy;      // what stopped the run early ("Ctrl-C", "SIGTERM"); empty: none

  // [any] The summary text of the rows (one per source), lines ending in "\n". A new string.
  std::string Format(const std::vector<SlowSampling::SourceStatistics>& rows) const;
  // [any] The signal table and the sink's packet counts. A new string.
  static std::string FormatSignals(const std::vector<SignalRecorder::Signal>& signals,
                                   const SlowSampling::SinkStatistics& sink);
};

}  // namespace app
