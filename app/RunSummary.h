#pragma once
// The summary canhost run prints at its end (also after Ctrl-C): per source and channel what
// became of its messages since the start, the frames run and the effective message rates. Every
// message a source received is delivered, dropped as old (it came too late), dropped for want of
// room (in time, but the region near its time was full), discarded as future or still waiting,
// so the columns of a row add up to its "received".
//
//   canhost run: 30 frames of 0.100 s = 3.000 s, real time
//   channel   received  delivered       old   no room    future   waiting  source
//         0       1230       1227         0         0         0         3  CAN 0
//         1       1230       1220         4         2         1         3  CAN 1
//     total       2460       2447         4         2         1         6
//   effective rate: 816.3 messages/s of measurement, 816.3 messages/s of wall-clock time
//
// With --fast the first line ends in "fast", after Ctrl-C in "stopped by Ctrl-C".
#include <cstdint>
#include <string>
#include <vector>

#include "host/slowsampling/CSlowAsyncSourcePlugin.h"

namespace app {

class RunSummary {
 public:
  std::uint64_t frames = 0;   // frames run
  double frameSeconds = 0.0;  // length of a frame, seconds
  double wallSeconds = 0.0;   // wall-clock time from start to stop, seconds
  bool fast = false;          // --fast
  bool interrupted = false;   // stopped by Ctrl-C

  // [any] The summary text of the rows (one per source), lines ending in "\n". A new string.
  std::string Format(const std::vector<SlowSampling::SourceStatistics>& rows) const;
};

}  // namespace app
