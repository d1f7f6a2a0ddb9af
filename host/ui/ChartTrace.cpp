#include "host/ui/ChartTrace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

// Seconds; a power of two, so that a time divided by any bucket width is exact and a point falls
// in the half of a wider bucket that it fell in before.
constexpr double kFinestBucket = 1.0 / 1024.0;
// Points a bucket keeps at most: first, smallest, largest, last, first gap.
constexpr std::size_t kPerBucket = 5;

bool Earlier(const PlotPoint& p, double time) {
  return p.time < time;
}

// The points of `from`..`to` (one bucket) worth keeping, appended to `out` in time order.
void KeepExtremes(const std::vector<PlotPoint>& points, std::size_t from, std::size_t to,
                  std::vector<PlotPoint>& out) {
  std::size_t keep[kPerBucket] = {from, to - 1, from, from, to};
  std::size_t& low = keep[2];
  std::size_t& high = keep[3];
  std::size_t& gap = keep[4];
  bool any = false;
  for (std::size_t i = from; i < to; ++i) {
    const double v = points[i].value;
    if (!std::isfinite(v)) {
      if (gap == to) gap = i;
      continue;
    }
    if (!any || v < points[low].value) low = i;
    if (!any || v > points[high].value) high = i;
    any = true;
  }
  std::sort(std::begin(keep), std::end(keep));
  for (std::size_t k = 0; k < kPerBucket; ++k)
    if (keep[k] < to && (k == 0 || keep[k] != keep[k - 1])) out.push_back(points[keep[k]]);
}

}  // namespace

void ChartTrace::Append(PlotPoint point) {
  if (!m_timeouts.empty() && std::isinf(m_timeouts.back().to)) m_timeouts.back().to = point.time;
  if (std::isfinite(point.value)) Learn(point.value);
  m_points.push_back(point);
  if (m_points.size() > m_budget) Thin();
}

void ChartTrace::MarkTimeOut() {
  if (m_points.empty() || (!m_timeouts.empty() && std::isinf(m_timeouts.back().to))) return;
  m_timeouts.push_back({m_points.back().time, std::numeric_limits<double>::infinity()});
}

// Thins what is older than the raw stretch, which keeps half the budget at most (a fast signal's
// last seconds, then). Afterwards at most kPerBucket points per bucket of budget / 16 buckets remain of the
// thinned part, so a trace stays under its budget and each point is thinned a few times at most.
void ChartTrace::Thin() {
  auto end = std::lower_bound(m_points.begin(), m_points.end(), m_points.back().time - kRawSeconds,
                              Earlier);
  const auto raw = static_cast<std::ptrdiff_t>(m_budget / 2);
  if (m_points.end() - end > raw) end = m_points.end() - raw;
  if (end == m_points.begin()) return;
  const double first = m_points.front().time;
  const double span = std::prev(end)->time - first;
  const double buckets = std::floor(static_cast<double>(m_budget) / 16.0);
  double width = m_width > 0.0 ? m_width : kFinestBucket;
  while (span / width >= buckets - 1.0)
    width *= 2.0;
  m_width = width;
  std::vector<PlotPoint> out;
  out.reserve(m_budget);
  const auto last = static_cast<std::size_t>(end - m_points.begin());
  for (std::size_t from = 0; from < last;) {
    const double bucket = std::floor(m_points[from].time / width);
    std::size_t to = from + 1;
    while (to < last && std::floor(m_points[to].time / width) == bucket)
      ++to;
    KeepExtremes(m_points, from, to, out);
    from = to;
  }
  out.insert(out.end(), end, m_points.end());
  m_points = std::move(out);
}

// The fewest decimals that print the value as it was meant: a float that carried 802.25 may read
// 802.2499 at seven digits, within its last bit of the two-decimal value.
void ChartTrace::Learn(double value) {
  while (m_decimals < kMaxDecimals) {
    const double scaled = value * std::pow(10.0, m_decimals);
    if (std::abs(scaled - std::round(scaled)) <= std::max(1e-6, std::abs(scaled) * 1e-6)) return;
    ++m_decimals;
  }
}

std::optional<PlotPoint> ChartTrace::At(double time) const {
  const auto after = std::upper_bound(m_points.begin(), m_points.end(), time,
                                      [](double t, const PlotPoint& p) { return t < p.time; });
  if (after == m_points.begin()) return std::nullopt;
  return *std::prev(after);
}

bool ChartTrace::StaleAt(double time) const {
  if (m_points.empty() || time > m_points.back().time) return true;
  return std::any_of(m_timeouts.begin(), m_timeouts.end(),
                     [&](const Stretch& s) { return time >= s.from && time < s.to; });
}

}  // namespace ui
