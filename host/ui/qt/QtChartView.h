#pragma once
// The interactive chart of the signal view, drawn from a ChartModel: the wheel zooms the time
// axis around the mouse (with Ctrl the value axis of the panel under it), a drag pans (with Ctrl
// the value axis), a double click follows live again. A vertical cursor at the mouse reads every
// charted signal's value in force at its time; stale values are greyed there and dashed in the
// curves. The picture and the visible data can be written to files.
#include <QRect>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "host/ui/ChartModel.h"

namespace ui::qt {

class QtChartView : public QWidget {
 public:
  // [ui]
  explicit QtChartView(QWidget* parent);

  // [ui] The model; Show() after changing it.
  ChartModel& chart() noexcept { return m_chart; }
  void Show() { update(); }
  // [ui] What the view does with a turn of the wheel by `steps` notches (positive: away, zoom in)
  // at `at`, and a drag by `by` pixels; `valueAxis` as with Ctrl held.
  void Zoom(QPoint at, double steps, bool valueAxis);
  void Pan(QPoint from, QPoint by, bool valueAxis);
  // [ui] Puts the cursor at `time` (none: hides it), as the mouse does at that time's x.
  void SetCursorTime(std::optional<double> time);
  std::optional<double> cursorTime() const noexcept { return m_cursor; }
  // [ui] Times the chart was drawn.
  int Redraws() const noexcept { return m_redraws; }
  // [ui] The x of `time` in the panels as last drawn.
  int XOf(double time) const;
  // [ui] The chart as shown, as PNG; its visible data as CSV (ChartModel::Csv). Replaced
  // atomically; false with `error` set when the file cannot be written.
  bool WritePng(const std::string& path, std::string& error);
  bool WriteCsv(const std::string& path, std::string& error) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // A panel as last drawn.
  struct Drawn {
    QRect rect;
    double low;
    double high;
  };
  double TimeAt(int x) const;
  std::optional<std::size_t> PanelAt(QPoint at) const;
  void PaintCursor(QPainter& painter) const;

  ChartModel m_chart;
  std::vector<Drawn> m_drawn;
  double m_t0 = 0.0;
  double m_t1 = 1.0;
  std::optional<double> m_cursor;
  std::optional<QPoint> m_drag;  // where the last drag step ended
  int m_redraws = 0;
};

}  // namespace ui::qt
