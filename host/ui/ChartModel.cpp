#include "host/ui/ChartModel.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace ui {

namespace {

// Ten colours that stay apart on white; a signal takes the one least used by those charted.
constexpr std::array<std::uint32_t, 10> kPalette = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e,
                                                    0x9467bd, 0x8c564b, 0xe377c2, 0x17becf,
                                                    0x7f7f7f, 0xbcbd22};

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Shortest(double value) {
  std::array<char, 32> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
  return {buffer.data(), end};
}

// Index of the first point shown from `t0` on: the one in force at t0, else the first after it.
std::size_t FirstShown(const std::vector<PlotPoint>& points, double t0) {
  const auto after = std::upper_bound(points.begin(), points.end(), t0,
                                      [](double t, const PlotPoint& p) { return t < p.time; });
  return static_cast<std::size_t>(after == points.begin() ? 0 : after - points.begin() - 1);
}

}  // namespace

void ChartModel::Take(const SignalSnapshotPtr& snapshot) {
  if (!snapshot) return;
  if (snapshot->seconds < m_now) {
    m_signals.clear();
    m_following = true;
    ResetAxes();
  }
  m_now = snapshot->seconds;
  for (const SignalRow& row : snapshot->rows)
    Absorb(row);
}

void ChartModel::Absorb(const SignalRow& row) {
  Signal& signal = m_signals[row.series.name];
  signal.unit = row.series.unit;
  const auto& points = row.series.points;
  const std::vector<PlotPoint>& kept = signal.trace.points();
  auto from = points.begin();
  if (!kept.empty())
    from = std::upper_bound(points.begin(), points.end(), kept.back().time,
                            [](double t, const PlotPoint& p) { return t < p.time; });
  for (auto it = from; it != points.end(); ++it)
    signal.trace.Append(*it);
  if (row.timedOut) signal.trace.MarkTimeOut();
}

void ChartModel::SetCharted(const std::vector<std::string>& names) {
  m_charted = names;
  for (const std::string& name : m_charted)
    AssignColor(name);
}

void ChartModel::AssignColor(const std::string& name) {
  if (m_colors.count(name) != 0) return;
  std::array<int, kPalette.size()> uses{};
  for (const std::string& other : m_charted)
    if (const auto it = m_colors.find(other); it != m_colors.end())
      for (std::size_t i = 0; i < kPalette.size(); ++i)
        uses[i] += kPalette[i] == it->second ? 1 : 0;
  const auto least = std::min_element(uses.begin(), uses.end()) - uses.begin();
  m_colors[name] = kPalette[static_cast<std::size_t>(least)];
}

std::uint32_t ChartModel::ColorOf(const std::string& name) const {
  const auto it = m_colors.find(name);
  return it != m_colors.end() ? it->second : kPalette[0];
}

double ChartModel::t1() const {
  return m_following ? std::max(m_now, kFollowSeconds) : m_t1;
}

double ChartModel::t0() const {
  return m_following ? t1() - kFollowSeconds : m_t0;
}

void ChartModel::SetTimeRange(double t0, double t1) {
  Show(t0, t1);
  ResetAxes();
}

void ChartModel::Show(double t0, double t1) {
  if (!(t1 - t0 >= kMinSeconds)) {
    const double middle = (t0 + t1) / 2.0;
    t0 = middle - kMinSeconds / 2.0;
    t1 = middle + kMinSeconds / 2.0;
  }
  m_t0 = t0;
  m_t1 = t1;
  m_following = false;
}

void ChartModel::ZoomTime(double factor, double anchor) {
  const double a = t0();
  const double b = t1();
  SetTimeRange(anchor - (anchor - a) * factor, anchor + (b - anchor) * factor);
}

void ChartModel::PanTime(double seconds) {
  Show(t0() + seconds, t1() + seconds);
}

void ChartModel::ZoomValue(std::size_t panel, double factor, double anchor) {
  if (panel >= m_panelUnits.size()) return;
  Axis& axis = m_axes[m_panelUnits[panel]];
  if (!axis.fitted) return;
  axis.low = anchor - (anchor - axis.low) * factor;
  axis.high = anchor + (axis.high - anchor) * factor;
  axis.manual = true;
}

void ChartModel::PanValue(std::size_t panel, double delta) {
  if (panel >= m_panelUnits.size()) return;
  Axis& axis = m_axes[m_panelUnits[panel]];
  if (!axis.fitted) return;
  axis.low += delta;
  axis.high += delta;
  axis.manual = true;
}

void ChartModel::Follow() {
  m_following = true;
  ResetAxes();
}

void ChartModel::ResetAxes() {
  m_axes.clear();
}

std::vector<ChartModel::Panel> ChartModel::Panels() {
  std::vector<Panel> panels;
  for (const std::string& name : m_charted) {
    const auto it = m_signals.find(name);
    if (it == m_signals.end() || it->second.trace.points().empty()) continue;
    const std::string& unit = it->second.unit;
    auto panel =
        std::find_if(panels.begin(), panels.end(), [&](const Panel& p) { return p.unit == unit; });
    if (panel == panels.end()) panel = panels.insert(panels.end(), Panel{unit, {}, 0.0, 1.0});
    panel->curves.push_back({name, ColorOf(name), &it->second.trace});
  }
  m_panelUnits.clear();
  for (Panel& panel : panels) {
    Axis& axis = m_axes[panel.unit];
    if (!axis.manual) Fit(panel, axis);
    panel.low = axis.low;
    panel.high = axis.high;
    m_panelUnits.push_back(panel.unit);
  }
  return panels;
}

// The range of the panel's values in view, widened to the least span and padded; an axis that
// holds a range already only grows.
void ChartModel::Fit(const Panel& panel, Axis& axis) const {
  const double a = t0();
  const double b = t1();
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  int decimals = 0;
  for (const Curve& curve : panel.curves) {
    const auto& points = curve.trace->points();
    decimals = std::max(decimals, curve.trace->decimals());
    for (std::size_t k = FirstShown(points, a); k < points.size() && points[k].time <= b; ++k) {
      if (!std::isfinite(points[k].value)) continue;
      low = std::min(low, points[k].value);
      high = std::max(high, points[k].value);
    }
  }
  if (low > high) {
    if (!axis.fitted) axis = {-1.0, 1.0, true, false};
    return;
  }
  const double least =
      std::max(kMinSpanShare * std::max(std::abs(low), std::abs(high)), std::pow(10.0, -decimals));
  if (high - low < least) {
    const double middle = (low + high) / 2.0;
    low = middle - least / 2.0;
    high = middle + least / 2.0;
  }
  const double pad = (high - low) * 0.05;
  low -= pad;
  high += pad;
  if (axis.fitted) {
    low = std::min(low, axis.low);
    high = std::max(high, axis.high);
  }
  axis = {low, high, true, false};
}

std::vector<ChartModel::Reading> ChartModel::ReadAt(double time) const {
  std::vector<Reading> readings;
  for (const std::string& name : m_charted) {
    const auto it = m_signals.find(name);
    Reading reading{name, ColorOf(name), false, 0.0, "-", true};
    const ChartTrace* trace = it != m_signals.end() ? &it->second.trace : nullptr;
    if (const auto point = trace ? trace->At(time) : std::nullopt) {
      reading.hasValue = true;
      reading.value = point->value;
      reading.text = Format(point->value, trace->decimals());
      if (!it->second.unit.empty()) reading.text += " " + it->second.unit;
      reading.stale = trace->StaleAt(time);
    }
    readings.push_back(std::move(reading));
  }
  return readings;
}

int ChartModel::Decimals(const std::string& name) const {
  const auto it = m_signals.find(name);
  return it != m_signals.end() ? it->second.trace.decimals() : 0;
}

std::string ChartModel::Format(double value, int decimals) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return Shortest(value);
  std::string text(buffer.data(), result.ptr);
  // -0.001 at two decimals is zero, not "-0.00".
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string ChartModel::Csv() const {
  std::string out = "time (s),signal,value,unit\n";
  const double a = t0();
  const double b = t1();
  for (const std::string& name : m_charted) {
    const auto it = m_signals.find(name);
    if (it == m_signals.end()) continue;
    const auto& points = it->second.trace.points();
    const int decimals = it->second.trace.decimals();
    for (std::size_t k = FirstShown(points, a); k < points.size() && points[k].time <= b; ++k)
      out += Shortest(points[k].time) + "," + Field(name) + "," +
             Format(points[k].value, decimals) + "," + Field(it->second.unit) + "\n";
  }
  return out;
}

}  // namespace ui
