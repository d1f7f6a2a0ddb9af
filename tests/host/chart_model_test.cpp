// The signal chart without a display: a long run thinned within its budget, the value under the
// cursor, zoom and pan, colours, value axes and what is drawn as stale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "host/ui/ChartModel.h"

namespace {

using ui::ChartModel;
using ui::ChartTrace;
using ui::PlotPoint;

// A snapshot at `seconds` with one row per (name, unit, points).
struct Row {
  std::string name;
  std::string unit;
  std::vector<PlotPoint> points;
  bool timedOut = false;
};
ui::SignalSnapshotPtr Snapshot(double seconds, const std::vector<Row>& rows) {
  auto s = std::make_shared<ui::SignalSnapshot>();
  s->seconds = seconds;
  for (const Row& r : rows) {
    ui::SignalRow row;
    row.series = {r.name, r.unit, r.points};
    row.hasValue = !r.points.empty();
    row.timedOut = r.timedOut;
    s->rows.push_back(row);
  }
  return s;
}

TEST(ChartTrace, ALongRunStaysInItsBudgetAndKeepsEveryBucketsExtremes) {
  // 100 values a second: the recent stretch fits in half the budget.
  constexpr std::size_t kBudget = ChartTrace::kBudget;
  ChartTrace trace(kBudget);
  std::vector<PlotPoint> raw;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1000.0, 1000.0);
  for (int i = 0; i < 400000; ++i) {
    raw.push_back({i * 0.01, i % 997 == 0 ? std::nan("") : value(random)});
    trace.Append(raw.back());
    ASSERT_LE(trace.points().size(), kBudget) << "after point " << i;
  }
  const double width = trace.bucketSeconds();
  ASSERT_GT(width, 0.0);
  const auto& kept = trace.points();
  EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(), [](const PlotPoint& a, const PlotPoint& b) {
    return a.time < b.time;
  }));
  // Every bucket's smallest and largest value, and its first gap, are among the points kept.
  std::map<double, std::pair<double, double>> extremes;
  std::map<double, bool> gaps;
  const double rawFrom = raw.back().time - ChartTrace::kRawSeconds;
  for (const PlotPoint& p : raw) {
    if (p.time >= rawFrom) break;
    const double bucket = std::floor(p.time / width);
    if (std::isnan(p.value)) {
      gaps[bucket] = true;
      continue;
    }
    auto [it, added] = extremes.try_emplace(bucket, p.value, p.value);
    it->second = {std::min(it->second.first, p.value), std::max(it->second.second, p.value)};
  }
  const auto keptIn = [&](double bucket, auto&& match) {
    return std::any_of(kept.begin(), kept.end(), [&](const PlotPoint& p) {
      return match(p.value) && std::floor(p.time / width) == bucket;
    });
  };
  for (const auto& [bucket, range] : extremes) {
    const double low = range.first;
    const double high = range.second;
    ASSERT_TRUE(keptIn(bucket, [&](double v) { return v == low; }) &&
                keptIn(bucket, [&](double v) { return v == high; }))
        << "bucket " << bucket;
  }
  for (const auto& gap : gaps)
    EXPECT_TRUE(keptIn(gap.first, [](double v) { return std::isnan(v); }))
        << "bucket " << gap.first;
  // The recent stretch is kept as it came.
  const auto recent =
      std::count_if(raw.begin(), raw.end(), [&](const PlotPoint& p) { return p.time >= rawFrom; });
  EXPECT_EQ(std::count_if(kept.begin(), kept.end(),
                          [&](const PlotPoint& p) { return p.time >= rawFrom; }),
            recent);
}

TEST(ChartTrace, AFastSignalKeepsItsNewestHalfBudgetAsItCame) {
  ChartTrace trace(1024);
  std::vector<PlotPoint> raw;
  for (int i = 0; i < 20000; ++i) {  // 1000 values a second
    raw.push_back({i * 0.001, std::sin(i * 0.37)});
    trace.Append(raw.back());
  }
  const auto& kept = trace.points();
  ASSERT_GE(kept.size(), 512U);
  EXPECT_TRUE(std::equal(kept.end() - 512, kept.end(), raw.end() - 512,
                         [](const PlotPoint& a, const PlotPoint& b) {
                           return a.time == b.time && a.value == b.value;
                         }));
}

TEST(ChartTrace, ValuesReadAtTheResolutionTheyWereMeantWith) {
  ChartTrace quarter;
  for (const float v : {800.0F, 802.25F, 801.5F})
    quarter.Append({0.0, static_cast<double>(v)});
  EXPECT_EQ(quarter.decimals(), 2);
  ChartTrace scaled;  // 80225 * 0.01 in float arithmetic: 802.2499...
  scaled.Append({0.0, static_cast<double>(80225 * 0.01F)});
  EXPECT_EQ(ChartModel::Format(scaled.points()[0].value, scaled.decimals()), "802.25");
  ChartTrace whole;
  whole.Append({0.0, 20.0});
  whole.Append({1.0, std::nan("")});
  EXPECT_EQ(whole.decimals(), 0);
  EXPECT_EQ(ChartModel::Format(-0.001, 2), "0.00");
}

TEST(ChartModel, TheCursorReadsTheValueInForceAndMarksStaleTimes) {
  ChartModel chart;
  chart.Take(Snapshot(1.0, {{"Speed", "km/h", {{0.2, 10.0}, {0.5, 20.0}}}}));
  chart.Take(Snapshot(2.0, {{"Speed", "km/h", {{0.2, 10.0}, {0.5, 20.0}, {1.5, 30.0}}}}));
  chart.SetCharted({"Speed", "Never"});
  const auto at = [&](double t) { return chart.ReadAt(t)[0]; };
  EXPECT_FALSE(at(0.1).hasValue);
  EXPECT_EQ(at(0.2).value, 10.0);
  EXPECT_EQ(at(0.49).value, 10.0);
  EXPECT_EQ(at(0.5).text, "20 km/h");
  EXPECT_EQ(at(1.49).value, 20.0);
  EXPECT_FALSE(at(1.5).stale);
  EXPECT_TRUE(at(1.9).stale) << "after its last value";
  ASSERT_EQ(chart.ReadAt(1.0).size(), 2U);
  EXPECT_FALSE(chart.ReadAt(1.0)[1].hasValue);
  // A time-out after 1.5: stale until the next value, not after it.
  chart.Take(Snapshot(3.0, {{"Speed", "km/h", {{1.5, 30.0}}, true}}));
  chart.Take(Snapshot(4.0, {{"Speed", "km/h", {{1.5, 30.0}, {3.5, 40.0}}}}));
  EXPECT_TRUE(at(2.0).stale);
  EXPECT_TRUE(at(3.4).stale);
  EXPECT_FALSE(at(3.5).stale);
  EXPECT_EQ(at(3.6).value, 40.0);
}

TEST(ChartModel, ZoomAndPanKeepTheRangeAskedForUntilFollowingAgain) {
  ChartModel chart;
  chart.SetCharted({"Speed"});
  chart.Take(Snapshot(40.0, {{"Speed", "km/h", {{1.0, 1.0}, {39.0, 2.0}}}}));
  EXPECT_TRUE(chart.following());
  EXPECT_DOUBLE_EQ(chart.t0(), 10.0);
  EXPECT_DOUBLE_EQ(chart.t1(), 40.0);
  chart.ZoomTime(0.5, 20.0);  // the anchor stays where it was
  EXPECT_FALSE(chart.following());
  EXPECT_DOUBLE_EQ(chart.t0(), 15.0);
  EXPECT_DOUBLE_EQ(chart.t1(), 30.0);
  chart.PanTime(-14.0);
  chart.Take(Snapshot(41.0, {{"Speed", "km/h", {{39.0, 2.0}, {40.5, 3.0}}}}));
  EXPECT_DOUBLE_EQ(chart.t0(), 1.0);
  EXPECT_DOUBLE_EQ(chart.t1(), 16.0);
  chart.SetTimeRange(5.0, 5.0);  // no narrower than the least range
  EXPECT_NEAR(chart.t1() - chart.t0(), ChartModel::kMinSeconds, 1e-12);
  chart.Follow();
  EXPECT_DOUBLE_EQ(chart.t1(), 41.0);
  // A new run starts following again with nothing of the old one.
  chart.SetTimeRange(0.0, 2.0);
  chart.Take(Snapshot(0.0, {}));
  EXPECT_TRUE(chart.following());
  EXPECT_TRUE(chart.Panels().empty());
}

TEST(ChartModel, ColoursBelongToSignalsAndPanelsToUnits) {
  ChartModel chart;
  chart.Take(Snapshot(1.0, {{"A", "km/h", {{0.1, 1.0}}},
                            {"B", "1/min", {{0.1, 1.0}}},
                            {"C", "km/h", {{0.1, 1.0}}},
                            {"D", "km/h", {{0.1, 1.0}}},
                            {"Empty", "V", {}}}));
  chart.SetCharted({"A", "B"});
  const auto a = chart.ColorOf("A");
  const auto b = chart.ColorOf("B");
  EXPECT_NE(a, b);
  chart.SetCharted({"C", "A", "B", "Empty"});  // ticked in front: the others keep theirs
  EXPECT_EQ(chart.ColorOf("A"), a);
  EXPECT_EQ(chart.ColorOf("B"), b);
  EXPECT_NE(chart.ColorOf("C"), a);
  EXPECT_NE(chart.ColorOf("C"), b);
  chart.SetCharted({"C", "B", "D"});  // A's colour is free again
  EXPECT_EQ(chart.ColorOf("D"), a);
  const auto panels = chart.Panels();
  ASSERT_EQ(panels.size(), 2U) << "one per unit; none for a signal without values";
  EXPECT_EQ(panels[0].unit, "km/h");
  ASSERT_EQ(panels[0].curves.size(), 2U);
  EXPECT_EQ(panels[0].curves[1].name, "D");
  EXPECT_EQ(panels[1].unit, "1/min");
}

TEST(ChartModel, TheValueAxisKeepsASensibleSpanAndDoesNotJumpWhileScrolling) {
  ChartModel chart;
  chart.SetCharted({"Engine speed"});
  chart.Take(
      Snapshot(30.0, {{"Engine speed", "1/min", {{1.0, 800.0}, {10.0, 802.0}, {20.0, 2000.0}}}}));
  auto panel = chart.Panels().at(0);
  EXPECT_LE(panel.low, 800.0);
  EXPECT_GE(panel.high, 2000.0);
  chart.SetTimeRange(0.0, 15.0);
  chart.ZoomTime(1.0, 0.0);  // a zoom fits the axis to what shows: 800 -> 802
  panel = chart.Panels().at(0);
  EXPECT_GE(panel.high - panel.low, 80.0) << "a 2 in 800 change stays a small step";
  EXPECT_LE(panel.low, 800.0);
  EXPECT_GE(panel.high, 802.0);
  const double low = panel.low;
  const double high = panel.high;
  chart.PanTime(10.0);  // now 2000 shows: the axis grows
  panel = chart.Panels().at(0);
  EXPECT_GE(panel.high, 2000.0);
  chart.PanTime(-10.0);  // and stays grown when scrolled back
  EXPECT_GE(chart.Panels().at(0).high, 2000.0);
  EXPECT_LE(chart.Panels().at(0).low, low);
  // A value zoom halves the span around its anchor and a value pan shifts it; both stay while
  // the time axis scrolls, until following live fits the axis again.
  const auto before = chart.Panels().at(0);
  chart.ZoomValue(0, 0.5, 1000.0);
  auto zoomed = chart.Panels().at(0);
  EXPECT_DOUBLE_EQ(zoomed.high - zoomed.low, (before.high - before.low) / 2);
  EXPECT_DOUBLE_EQ(zoomed.low, 1000.0 - (1000.0 - before.low) / 2);
  chart.PanValue(0, 100.0);
  chart.PanTime(5.0);
  zoomed = chart.Panels().at(0);
  EXPECT_DOUBLE_EQ(zoomed.low, 1000.0 - (1000.0 - before.low) / 2 + 100.0);
  chart.ZoomValue(7, 0.5, 0.0);  // no such panel: nothing happens
  chart.Follow();
  EXPECT_GT(chart.Panels().at(0).high, high);
  EXPECT_LE(chart.Panels().at(0).low, 800.0);
}

TEST(ChartModel, TheVisibleDataGoesToCsv) {
  ChartModel chart;
  chart.SetCharted({"Speed, front"});
  chart.Take(Snapshot(10.0, {{"Speed, front", "km/h", {{1.0, 1.5}, {4.0, 2.25}, {8.0, 3.0}}}}));
  chart.SetTimeRange(2.0, 5.0);
  EXPECT_EQ(chart.Csv(),
            "time (s),signal,value,unit\n"
            "1,\"Speed, front\",1.50,km/h\n"
            "4,\"Speed, front\",2.25,km/h\n");
}

}  // namespace
