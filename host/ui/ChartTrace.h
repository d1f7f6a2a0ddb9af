#pragma once
// One charted signal over a whole measurement, in bounded memory. Points come in time order; the
// last kRawSeconds (at most half the budget of points) stay as they came, older ones are thinned
// when the trace outgrows its budget:
// time is cut into buckets of one width (a power of two of seconds, so a wider thinning nests
// the narrower one) and each bucket keeps its first, smallest, largest and last point and
// its first gap (a value that is not finite), in time order. Every extreme survives, so a
// thinned stretch draws as the raw one does at any width of at least one bucket per pixel.
//
//   budget 4096, 100000 points over 1000 s -> at most 4096 points; each bucket's min and max kept
//   At(2.5) with points (1, 10), (2, 20), (3, 30) -> (2, 20): a value holds until the next one
#include <cstddef>
#include <optional>
#include <vector>

#include "host/ui/SignalSnapshot.h"

namespace ui {

class ChartTrace {
 public:
  static constexpr std::size_t kBudget = 16384;
  // The recent stretch kept at full resolution (a live view shows 30 s).
  static constexpr double kRawSeconds = 60.0;
  // Decimals a value is shown with at most.
  static constexpr int kMaxDecimals = 6;

  // A stretch in which the last value no longer holds: the signal timed out after it.
  struct Stretch {
    double from;  // time of the last value before the silence, seconds
    double to;    // time of the next value; +infinity while none came
  };

  explicit ChartTrace(std::size_t budget = kBudget) : m_budget(budget < 64 ? 64 : budget) {}

  // [ui] Appends `point`, not earlier than the last one; a later point ends an open time-out.
  void Append(PlotPoint point);
  // [ui] The signal timed out after its last point (once per silence; more calls are ignored).
  void MarkTimeOut();

  // [ui] The points kept, ascending time.
  const std::vector<PlotPoint>& points() const noexcept { return m_points; }
  const std::vector<Stretch>& timeouts() const noexcept { return m_timeouts; }
  // [ui] The bucket width of the thinned part, seconds; 0 while nothing was thinned.
  double bucketSeconds() const noexcept { return m_width; }
  // [ui] Decimals that show every value seen exactly (0.25 steps: 2; whole numbers: 0).
  int decimals() const noexcept { return m_decimals; }
  // [ui] The point in force at `time`: the last one at or before it; none before the first.
  std::optional<PlotPoint> At(double time) const;
  // [ui] Whether `time` falls in a time-out or after the last point.
  bool StaleAt(double time) const;

 private:
  void Thin();
  void Learn(double value);

  std::size_t m_budget;
  std::vector<PlotPoint> m_points;
  std::vector<Stretch> m_timeouts;
  double m_width = 0.0;
  int m_decimals = 0;
};

}  // namespace ui
