#pragma once
// The signal chart without a display: every signal's whole run (ChartTrace), gathered from the
// snapshots the measurement publishes, so a run can be reviewed after Stop; the view range that
// zoom and pan set; the values under a cursor; the colours and value axes of the panels. [ui]
//
// Following live, the chart shows the last kFollowSeconds up to the newest frame; a zoom or a pan
// leaves that and keeps exactly the range asked for while frames come; Follow() returns to it.
// Signals of one unit share a panel, in the order they were charted; a signal without values has
// none. A signal keeps the colour it got when first charted, whatever is charted after it.
// A panel's value axis spans at least kMinSpanShare of its largest magnitude (800 -> 802 shows
// as a small step, not the panel's height) and only grows while the view scrolls, so it does not
// jump; a zoom of the time axis, Follow() and a new run fit it again.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/ui/ChartTrace.h"
#include "host/ui/SignalSnapshot.h"

namespace ui {

class ChartModel {
 public:
  static constexpr double kFollowSeconds = 30.0;
  static constexpr double kMinSeconds = 0.01;  // the narrowest time range a zoom gives
  static constexpr double kMinSpanShare = 0.1;

  struct Curve {
    std::string name;
    std::uint32_t rgb;  // 0xRRGGBB
    const ChartTrace* trace;
  };
  struct Panel {
    std::string unit;
    std::vector<Curve> curves;
    double low;   // the value axis
    double high;  // > low
  };
  struct Reading {
    std::string name;
    std::uint32_t rgb;
    bool hasValue;
    double value;      // in force at the time read
    std::string text;  // the value at the signal's resolution and its unit, "802.25 1/min"
    bool stale;        // timed out then, or read after its last value
  };

  // Takes a newer snapshot: each signal's points after those already taken. A snapshot that is
  // earlier than the last one begins a new run: the traces, axes and view start again.
  void Take(const SignalSnapshotPtr& snapshot);
  // The signals charted, by name, in the order they were ticked.
  void SetCharted(const std::vector<std::string>& names);
  const std::vector<std::string>& charted() const noexcept { return m_charted; }
  // The measured time of the newest snapshot.
  double now() const noexcept { return m_now; }

  bool following() const noexcept { return m_following; }
  double t0() const;
  double t1() const;
  // Shows [t0, t1] (at least kMinSeconds), leaving live following; the value axes fit it.
  void SetTimeRange(double t0, double t1);
  // Scales the time range by `factor` (< 1 zooms in) around time `anchor`.
  void ZoomTime(double factor, double anchor);
  void PanTime(double seconds);
  // Scales / shifts panel `panel`'s value axis (its index in Panels()); it stays so until Follow().
  void ZoomValue(std::size_t panel, double factor, double anchor);
  void PanValue(std::size_t panel, double delta);
  // Back to live following with fitted axes.
  void Follow();

  // The panels of the charted signals that have values, with their value axes.
  std::vector<Panel> Panels();
  // Each charted signal's value in force at `time`.
  std::vector<Reading> ReadAt(double time) const;
  // The colour of `name` (assigned when first charted).
  std::uint32_t ColorOf(const std::string& name) const;
  // The decimals of signal `name`'s values (ChartTrace::decimals); 0 for one not seen.
  int Decimals(const std::string& name) const;
  // `value` with `decimals` decimals, "802.25".
  static std::string Format(double value, int decimals);
  // The charted signals' points in the time range (with the one in force at its start), as CSV:
  // "time (s),signal,value,unit".
  std::string Csv() const;

 private:
  struct Axis {
    double low = 0.0;
    double high = 0.0;
    bool fitted = false;  // low/high hold a range
    bool manual = false;  // set by a value zoom or pan
  };
  struct Signal {
    std::string unit;
    ChartTrace trace;
    std::uint32_t timeouts = 0;
  };

  void Absorb(const SignalRow& row);
  void Show(double t0, double t1);
  void Fit(const Panel& panel, Axis& axis) const;
  void ResetAxes();
  void AssignColor(const std::string& name);

  std::map<std::string, Signal> m_signals;  // by name
  std::vector<std::string> m_charted;
  std::map<std::string, std::uint32_t> m_colors;  // kept after unticking
  std::map<std::string, Axis> m_axes;             // by unit
  std::vector<std::string> m_panelUnits;          // of the last Panels()
  double m_now = 0.0;
  bool m_following = true;
  double m_t0 = 0.0;
  double m_t1 = kFollowSeconds;
};

}  // namespace ui
