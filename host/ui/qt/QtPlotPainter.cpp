#include "host/ui/qt/QtPlotPainter.h"

#include <QFontMetrics>
#include <QPolygon>
#include <QRegion>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace ui::qt {

namespace {

// Ten colours that stay apart on white, in series order.
constexpr std::array<QRgb, 10> kColors = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                          0x8c564b, 0xe377c2, 0x17becf, 0x7f7f7f, 0xbcbd22};

// About `target` round steps (1, 2 or 5 times a power of ten) across [low, high].
std::vector<double> Ticks(double low, double high, int target) {
  const double raw = (high - low) / target;
  if (!(raw > 0.0) || !std::isfinite(raw)) return {low};
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  const double step = (norm < 1.5 ? 1.0 : norm < 3.0 ? 2.0 : norm < 7.0 ? 5.0 : 10.0) * magnitude;
  std::vector<double> ticks;
  for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step)
    ticks.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
  return ticks;
}

QString Number(double value, int digits = 7) {
  return QString::number(value, 'g', digits);
}

// Significant digits that tell ticks `step` apart around magnitude `largest` (at least 7): a
// counter near 4294967295 that moves by one shows 4294967290, not 4.294967e+09 on every tick.
int DigitsFor(double largest, double step) {
  if (!(step > 0.0) || !(largest > 0.0) || !std::isfinite(largest)) return 7;
  const int digits =
      static_cast<int>(std::ceil(std::log10(largest)) - std::floor(std::log10(step))) + 1;
  return std::clamp(digits, 7, 17);
}

// Index of the first point that shows in [t0, ...]: the last one at or before t0 holds into it.
std::size_t FirstShown(const std::vector<PlotPoint>& points, double t0) {
  const auto after = std::upper_bound(points.begin(), points.end(), t0,
                                      [](double t, const PlotPoint& p) { return t < p.time; });
  return static_cast<std::size_t>(after == points.begin() ? 0 : after - points.begin() - 1);
}

}  // namespace

QtPlotPainter::QtPlotPainter(const std::vector<const PlotSeries*>& series, const QRect& area,
                             double t0, double t1, double holdUntil, int fontPx)
    : m_area(area),
      m_t0(t0),
      m_t1(t1 > t0 ? t1 : t0 + 1.0),
      m_holdUntil(holdUntil),
      m_fontPx(fontPx) {
  for (std::size_t i = 0; i < series.size(); ++i)
    m_curves.push_back({series[i]->name, &series[i]->points, CurveColor(i), {}});
  if (series.size() <= kMaxPanelsPerSignal) {
    for (std::size_t i = 0; i < series.size(); ++i)
      m_panels.push_back({series[i]->unit, {i}, {}});
  } else {
    std::map<std::string, std::size_t> byUnit;
    for (std::size_t i = 0; i < series.size(); ++i) {
      const auto [it, added] = byUnit.try_emplace(series[i]->unit, m_panels.size());
      if (added) m_panels.push_back({series[i]->unit, {}, {}});
      m_panels[it->second].curves.push_back(i);
    }
  }
  Layout();
}

QtPlotPainter::QtPlotPainter(const std::vector<ChartModel::Panel>& panels, const QRect& area,
                             double t0, double t1, double holdUntil, int fontPx)
    : m_area(area),
      m_t0(t0),
      m_t1(t1 > t0 ? t1 : t0 + 1.0),
      m_holdUntil(holdUntil),
      m_fontPx(fontPx) {
  for (const ChartModel::Panel& panel : panels) {
    Panel laid{panel.unit, {}, {}, panel.low, panel.high, true};
    for (const ChartModel::Curve& curve : panel.curves) {
      Curve drawn{curve.name, &curve.trace->points(), QColor(QRgb(curve.rgb)), {}};
      for (const ChartTrace::Stretch& s : curve.trace->timeouts())
        drawn.stale.emplace_back(s.from, s.to);
      if (!curve.trace->points().empty())
        drawn.stale.emplace_back(curve.trace->points().back().time, holdUntil + 1.0);
      laid.curves.push_back(m_curves.size());
      m_curves.push_back(std::move(drawn));
    }
    m_panels.push_back(std::move(laid));
  }
  Layout();
}

void QtPlotPainter::Layout() {
  while (m_panels.size() > kMaxPanels) {
    m_hidden += m_panels.back().curves.size();
    m_panels.pop_back();
  }
  if (m_panels.empty()) return;
  // Left: value labels and the unit; below: time labels, the axis name and a note.
  const int left = m_area.left() + m_fontPx * 7;
  const int right = m_area.right() - m_fontPx * 2;
  const int title = m_fontPx * 2;
  const int gap = m_fontPx / 2;
  const int bottom = m_area.bottom() - m_fontPx * (m_hidden != 0 ? 5 : 3) - m_fontPx / 2;
  const int n = static_cast<int>(m_panels.size());
  const int height = std::max(1, (bottom - m_area.top() - n * title - (n - 1) * gap) / n);
  int y = m_area.top();
  for (Panel& panel : m_panels) {
    panel.rect = QRect(QPoint(left, y + title), QPoint(right, y + title + height - 1));
    y += title + height + gap;
  }
}

QColor QtPlotPainter::CurveColor(std::size_t index) {
  return QColor(kColors[index % kColors.size()]);
}

double QtPlotPainter::XOf(const QRect& rect, double time) const {
  return rect.left() + (time - m_t0) / (m_t1 - m_t0) * (rect.width() - 1);
}

double QtPlotPainter::TimeAt(int x) const {
  if (m_panels.empty()) return m_t0;
  const QRect& r = m_panels.front().rect;
  return m_t0 + (x - r.left()) * (m_t1 - m_t0) / std::max(1, r.width() - 1);
}

void QtPlotPainter::Paint(QPainter& painter) const {
  painter.save();
  painter.fillRect(m_area, Qt::white);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(m_fontPx);
  painter.setFont(font);
  for (std::size_t i = 0; i < m_panels.size(); ++i)
    PaintPanel(painter, m_panels[i], i + 1 == m_panels.size());
  painter.setPen(Qt::black);
  if (m_panels.empty()) {
    painter.drawText(m_area, Qt::AlignCenter, QStringLiteral("No decoded values"));
  } else {
    const QRect& last = m_panels.back().rect;
    const QRect axis(last.left(), last.bottom() + m_fontPx * 2, last.width(), m_fontPx * 3 / 2);
    painter.drawText(axis, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("time (s)"));
    if (m_hidden != 0)
      painter.drawText(axis.translated(0, m_fontPx * 2), Qt::AlignLeft | Qt::AlignTop,
                       QStringLiteral("%1 more signals not shown").arg(m_hidden));
  }
  painter.restore();
}

std::pair<double, double> QtPlotPainter::Range(const Panel& panel) const {
  if (panel.fixed) return {panel.low, panel.high};
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  for (const std::size_t i : panel.curves) {
    const auto& points = *m_curves[i].points;
    for (std::size_t k = FirstShown(points, m_t0); k < points.size(); ++k) {
      if (points[k].time > m_t1) break;
      if (!std::isfinite(points[k].value)) continue;
      low = any ? std::min(low, points[k].value) : points[k].value;
      high = any ? std::max(high, points[k].value) : points[k].value;
      any = true;
    }
  }
  const double pad = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.1, 1.0);
  return {low - pad, high + pad};
}

void QtPlotPainter::PaintPanel(QPainter& painter, const Panel& panel, bool timeLabels) const {
  const QRect& r = panel.rect;
  const auto [low, high] = Range(panel);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QColor grid(0xe0, 0xe0, 0xe0);
  const QFontMetrics metrics(painter.font());
  for (const double t : Ticks(m_t0, m_t1, std::max(2, r.width() / (m_fontPx * 8)))) {
    const int x = static_cast<int>(std::lround(XOf(r, t)));
    painter.setPen(grid);
    painter.drawLine(x, r.top(), x, r.bottom());
    if (!timeLabels) continue;
    painter.setPen(Qt::black);
    const QString label = Number(t);
    painter.drawText(x - metrics.horizontalAdvance(label) / 2, r.bottom() + m_fontPx * 3 / 2,
                     label);
  }
  const std::vector<double> values = Ticks(low, high, std::max(2, r.height() / (m_fontPx * 3)));
  const int digits =
      values.size() < 2 ? 7
                        : DigitsFor(std::max(std::abs(low), std::abs(high)), values[1] - values[0]);
  for (const double v : values) {
    const int y = static_cast<int>(std::lround(r.bottom() - (v - low) / (high - low) * r.height()));
    painter.setPen(grid);
    painter.drawLine(r.left(), y, r.right(), y);
    painter.setPen(Qt::black);
    const QString label = Number(v, digits);
    painter.drawText(r.left() - m_fontPx / 2 - metrics.horizontalAdvance(label),
                     y + metrics.ascent() / 2 - 1, label);
  }
  painter.setPen(Qt::black);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  PaintTitle(painter, panel);
  for (const std::size_t i : panel.curves)
    PaintCurve(painter, panel, i, low, high);
}

// The unit along the value axis; above the panel its signals in their colours, and the unit.
void QtPlotPainter::PaintTitle(QPainter& painter, const Panel& panel) const {
  const QRect& r = panel.rect;
  const QString unit = QString::fromStdString(panel.unit);
  painter.save();
  painter.translate(m_area.left() + m_fontPx, r.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-r.height() / 2, -m_fontPx, r.height(), m_fontPx * 2), Qt::AlignCenter,
                   unit);
  painter.restore();
  const QFontMetrics metrics(painter.font());
  int x = r.left();
  for (const std::size_t i : panel.curves) {
    painter.setPen(m_curves[i].color);
    const QString name = QString::fromStdString(m_curves[i].name) + QStringLiteral("   ");
    painter.drawText(x, r.top() - m_fontPx / 2, name);
    x += metrics.horizontalAdvance(name);
  }
  if (unit.isEmpty()) return;
  painter.setPen(Qt::black);
  painter.drawText(x, r.top() - m_fontPx / 2, QStringLiteral("[%1]").arg(unit));
}

// A value that is not finite (NaN, an infinity) is a gap: the curve stops at it and goes on at
// the next finite value.
void QtPlotPainter::PaintLine(QPainter& painter, const Panel& panel, const Curve& curve, double low,
                              double high) const {
  const QRect& r = panel.rect;
  const auto& points = *curve.points;
  const auto yOf = [&](double v) {
    return static_cast<int>(std::lround(r.bottom() - (v - low) / (high - low) * (r.height() - 1)));
  };
  // Per pixel column: the value held on entry, the range of the column's values, the last one.
  QPolygon line;
  bool open = false;
  int column = 0, entry = 0, lo = 0, hi = 0, lastY = 0;
  const auto flush = [&] {
    line << QPoint(column, entry) << QPoint(column, lo) << QPoint(column, hi)
         << QPoint(column, lastY);
  };
  std::size_t k = FirstShown(points, m_t0);
  for (; k < points.size() && points[k].time <= m_t1; ++k) {
    const int x = static_cast<int>(std::lround(XOf(r, std::max(points[k].time, m_t0))));
    if (!std::isfinite(points[k].value)) {
      if (open) {
        flush();
        line << QPoint(x, lastY);
        painter.drawPolyline(line);
        line.clear();
      }
      open = false;
      continue;
    }
    const int y = yOf(points[k].value);
    if (!open || x != column) {
      if (open) flush();
      entry = open ? lastY : y;
      column = x;
      lo = hi = y;
      open = true;
    } else {
      lo = std::min(lo, y);
      hi = std::max(hi, y);
    }
    lastY = y;
  }
  if (open) {
    flush();
    // The last value shown holds to the right edge when a later one follows beyond it.
    const double hold = k < points.size() ? m_t1 : std::min(m_holdUntil, m_t1);
    if (hold > points[k - 1].time)
      line << QPoint(static_cast<int>(std::lround(XOf(r, hold))), lastY);
    painter.drawPolyline(line);
  }
}

// The line solid where its values hold, dashed over the stale stretches.
void QtPlotPainter::PaintCurve(QPainter& painter, const Panel& panel, std::size_t index, double low,
                               double high) const {
  const Curve& curve = m_curves[index];
  const QRect& r = panel.rect;
  QRegion stale;
  for (const auto& [from, to] : curve.stale) {
    const int x0 = static_cast<int>(std::lround(XOf(r, std::max(from, m_t0 - 1.0))));
    const int x1 = static_cast<int>(std::lround(XOf(r, std::min(to, m_t1 + 1.0))));
    if (x1 > x0) stale += QRect(x0 + 1, r.top(), x1 - x0, r.height());
  }
  painter.save();
  painter.setClipRegion(QRegion(r).subtracted(stale));
  painter.setPen(QPen(curve.color, 2));
  PaintLine(painter, panel, curve, low, high);
  if (!stale.isEmpty()) {
    painter.setClipRegion(stale.intersected(r));
    painter.setPen(QPen(curve.color.lighter(130), 2, Qt::DashLine));
    PaintLine(painter, panel, curve, low, high);
  }
  painter.restore();
}

}  // namespace ui::qt
