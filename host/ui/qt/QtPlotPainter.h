#pragma once
// Draws signals as stacked panels over one time axis: one panel per signal, or per unit when there
// are more signals than kMaxPanelsPerSignal (each panel titled with its signals in their colours).
// Values are drawn as steps (a value holds until the next one); where several points fall on one
// pixel column the column shows their range, so a long series costs one line per column.
// Axes carry tick labels; the value axis names the unit, the time axis is in seconds.
// Drawn from the chart model, panels, colours and value axes are the model's, and the stretches
// where a value no longer holds (a time-out, the time after the last value) are dashed.
#include <QColor>
#include <QPainter>
#include <QRect>
#include <string>
#include <utility>
#include <vector>

#include "host/ui/ChartModel.h"
#include "host/ui/SignalSnapshot.h"

namespace ui::qt {

class QtPlotPainter {
 public:
  // Beyond this many signals, signals of one unit share a panel.
  static constexpr std::size_t kMaxPanelsPerSignal = 8;
  // Panels shown at most; the rest are named in a note.
  static constexpr std::size_t kMaxPanels = 12;

  struct Panel {
    std::string unit;
    std::vector<std::size_t> curves;  // indexes into the series
    QRect rect;                       // the plotting area, inside the axes
    double low = 0.0;                 // the value axis, when `fixed`
    double high = 1.0;
    bool fixed = false;  // false: the range of the values in view
  };

  // [ui] Lays out `series` (not owned; they outlive the painter) in `area` over the times
  // [t0, t1]; each series' last value holds up to `holdUntil`. `fontPx`: text size in pixels.
  QtPlotPainter(const std::vector<const PlotSeries*>& series, const QRect& area, double t0,
                double t1, double holdUntil, int fontPx);
  // [ui] Lays out the chart model's `panels` (their traces outlive the painter) likewise.
  QtPlotPainter(const std::vector<ChartModel::Panel>& panels, const QRect& area, double t0,
                double t1, double holdUntil, int fontPx);

  // [any] The colour of series `index`'s curve.
  static QColor CurveColor(std::size_t index);
  // [ui] The time at x `x` of a panel, and back.
  double TimeAt(int x) const;
  double XOf(const QRect& rect, double time) const;
  // [ui] The panels as laid out.
  const std::vector<Panel>& panels() const noexcept { return m_panels; }
  // [ui] Draws onto `painter` (a white background included).
  void Paint(QPainter& painter) const;

 private:
  struct Curve {
    std::string name;
    const std::vector<PlotPoint>* points;  // not owned
    QColor color;
    std::vector<std::pair<double, double>> stale;  // times drawn dashed, [from, to)
  };

  void Layout();
  // The panel's value axis: the range of its points in view, with a margin.
  std::pair<double, double> Range(const Panel& panel) const;
  void PaintPanel(QPainter& painter, const Panel& panel, bool timeLabels) const;
  void PaintTitle(QPainter& painter, const Panel& panel) const;
  void PaintCurve(QPainter& painter, const Panel& panel, std::size_t index, double low,
                  double high) const;
  void PaintLine(QPainter& painter, const Panel& panel, const Curve& curve, double low,
                 double high) const;

  std::vector<Curve> m_curves;
  QRect m_area;
  double m_t0;
  double m_t1;
  double m_holdUntil;
  int m_fontPx;
  std::vector<Panel> m_panels;
  std::size_t m_hidden = 0;  // series without a panel
};

}  // namespace ui::qt
