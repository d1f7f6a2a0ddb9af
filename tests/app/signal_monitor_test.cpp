#include "app/SignalMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "app/SignalCsvReader.h"
#include "app/SignalRecorder.h"
#include "tests/app/FilledSink.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::FilledSink;
using testing_support::Source;

// One value of signal 3 at slow sample `at` of a frame of 100.
void Hop(FilledSink& sink, const Source& source, std::uint32_t at, double value) {
  sink.ClearValues(source);
  sink.Put(source, 3, at, value);
}

TEST(SinkSignals, ASignalOfTwoSourcesIsNamedAfterEachAndReadsBackFromTheCsv) {
  testing_support::TempDir dir;
  Source can0(L"CAN 0");
  Source can2(L"CAN 2");
  FilledSink sink(can0, can2);
  app::SignalRecorder recorder(0.001, 100);
  recorder.KeepSeries();
  std::string error;
  ASSERT_TRUE(recorder.Open(dir / "signals.csv", error)) << error;
  ASSERT_TRUE(recorder.Begin(error)) << error;
  Hop(sink, can0, 5, 20.0);
  Hop(sink, can2, 7, 90.5);
  recorder.AddFrame(0, sink);
  Hop(sink, can0, 1, 21.0);
  sink.ClearValues(can2);
  recorder.AddFrame(1, sink);
  ASSERT_TRUE(recorder.Close(error)) << error;

  const auto series = recorder.Series();
  ASSERT_EQ(series.size(), 2u);  // the engine speeds have no values
  EXPECT_EQ(series[0].name, "Coolant temperature (CAN 0)");
  EXPECT_EQ(series[1].name, "Coolant temperature (CAN 2)");
  ASSERT_EQ(series[0].points.size(), 2u);
  EXPECT_DOUBLE_EQ(series[0].points[1].time, 0.101);
  EXPECT_EQ(series[0].points[1].value, 21.0);
  EXPECT_EQ(recorder.Signals().size(), 4u);

  std::vector<ui::PlotSeries> read;
  ASSERT_TRUE(app::SignalCsvReader::Read(dir / "signals.csv", read, error)) << error;
  ASSERT_EQ(read.size(), series.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].name, series[i].name);
    EXPECT_EQ(read[i].unit, series[i].unit);
    ASSERT_EQ(read[i].points.size(), series[i].points.size());
    for (std::size_t k = 0; k < read[i].points.size(); ++k) {
      EXPECT_EQ(read[i].points[k].time,
                series[i].points[k].time);  // shortest-exact: the same double
      EXPECT_EQ(read[i].points[k].value, series[i].points[k].value);
    }
  }
}

TEST(SignalCsvReader, BadInputIsReportedWithFileAndLine) {
  testing_support::TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"time,signal,value,unit\n1,a,2,V\n2,a,x,V\n", "signals.csv:3: value 'x' is not a number"},
      {"time,signal,value,unit\n1,a,2\n", "signals.csv:2: 3 fields where"},
      {"time,signal,value,unit\nnan,a,2,V\n", "signals.csv:2: time 'nan' is not a number"},
      {"time,signal,value,unit\n1,\"a\n", "signals.csv:2: a quoted field does not end"},
      {"t,s,v\n", "signals.csv:1: not a file of signals"},
      {"time,signal,value,unit\n", "signals.csv: no values"},
      {"", "signals.csv: empty"},
  };
  for (const auto& [content, expected] : cases) {
    testing_support::WriteFile(dir / "signals.csv", content);
    std::vector<ui::PlotSeries> series;
    std::string error;
    EXPECT_FALSE(app::SignalCsvReader::Read(dir / "signals.csv", series, error)) << content;
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
  // Quoted fields with commas, quotes and line breaks; CRLF; rows out of time order; values that
  // are not finite, as canhost run writes them.
  testing_support::WriteFile(dir / "signals.csv",
                             "time,signal,value,unit\r\n2,\"a, \"\"b\"\"\nc\",4,V\r\n"
                             "1,\"a, \"\"b\"\"\nc\",3,V\r\n3,\"a, \"\"b\"\"\nc\",nan,V\r\n"
                             "4,\"a, \"\"b\"\"\nc\",-inf,V\r\n");
  std::vector<ui::PlotSeries> series;
  std::string error;
  ASSERT_TRUE(app::SignalCsvReader::Read(dir / "signals.csv", series, error)) << error;
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(series[0].name, "a, \"b\"\nc");
  EXPECT_EQ(series[0].unit, "V");
  ASSERT_EQ(series[0].points.size(), 4u);
  EXPECT_EQ(series[0].points[0].value, 3.0);
  EXPECT_TRUE(std::isnan(series[0].points[2].value));
  EXPECT_EQ(series[0].points[3].value, -std::numeric_limits<double>::infinity());
}

TEST(SignalMonitor, PublishesLastValuesAndABoundedRecentWindow) {
  Source source;
  FilledSink sink(source);
  app::SignalMonitor monitor(0.001, 100);
  EXPECT_TRUE(monitor.Snapshot()->rows.empty());
  Hop(sink, source, 5, 87.5);
  sink.State(source, 1).silent = true;
  sink.State(source, 1).timeouts = 2;
  monitor.AddFrame(0, sink);
  const ui::SignalSnapshotPtr first = monitor.Snapshot();
  ASSERT_EQ(first->rows.size(), 2u);
  EXPECT_DOUBLE_EQ(first->seconds, 0.1);
  const ui::SignalRow& coolant = first->rows[0];
  EXPECT_EQ(coolant.series.name, "Coolant temperature");
  EXPECT_EQ(coolant.series.unit, "°C");
  EXPECT_EQ(coolant.source, "source");
  EXPECT_TRUE(coolant.hasValue);
  EXPECT_EQ(coolant.value, 87.5);
  EXPECT_DOUBLE_EQ(coolant.time, 0.005);
  EXPECT_FALSE(coolant.timedOut);
  const ui::SignalRow& rpm = first->rows[1];
  EXPECT_FALSE(rpm.hasValue);
  EXPECT_TRUE(rpm.timedOut);
  EXPECT_EQ(rpm.timeouts, 2u);

  // 70 s of one value a frame: the window keeps the last minute (and the value holding into it).
  for (std::uint64_t frame = 1; frame < 700; ++frame) {
    Hop(sink, source, 50, static_cast<double>(frame));
    monitor.AddFrame(frame, sink);
  }
  const ui::SignalSnapshotPtr later = monitor.Snapshot();
  const auto& points = later->rows[0].series.points;
  EXPECT_DOUBLE_EQ(later->seconds, 70.0);
  EXPECT_LT(points.front().time, 70.0 - ui::SignalSnapshot::kWindowSeconds);
  EXPECT_GE(points[1].time, 70.0 - ui::SignalSnapshot::kWindowSeconds);
  EXPECT_EQ(points.back().value, 699.0);
  // A published snapshot never changes.
  EXPECT_EQ(first->rows[0].series.points.size(), 1u);

  // However fast a signal comes, it keeps at most kMaxPoints.
  app::SignalMonitor dense(0.0001, 10000);
  sink.ClearValues(source);
  for (std::uint32_t i = 0; i < 9000; ++i)
    sink.Put(source, 3, i + 1, static_cast<double>(i));
  dense.AddFrame(0, sink);
  const auto& many = dense.Snapshot()->rows[0].series.points;
  EXPECT_EQ(many.size(), ui::SignalSnapshot::kMaxPoints);
  EXPECT_EQ(many.back().value, 8999.0);
}

TEST(SignalMonitor, AReaderOnAnotherThreadSeesWholeSnapshots) {
  Source source;
  FilledSink sink(source);
  app::SignalMonitor monitor(0.001, 100);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const ui::SignalSnapshotPtr s = monitor.Snapshot();
      // Every frame's value is its frame number: the last value and the time agree.
      for (const ui::SignalRow& row : s->rows)
        if (row.hasValue && std::lround(row.time * 10.0 - 0.5) != std::lround(row.value))
          torn.fetch_add(1);
    }
  });
  for (std::uint64_t frame = 0; frame < 300; ++frame) {
    Hop(sink, source, 50, static_cast<double>(frame));
    monitor.AddFrame(frame, sink);
  }
  done.store(true);
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(monitor.Snapshot()->rows[0].value, 299.0);
}

}  // namespace
