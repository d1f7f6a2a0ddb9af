#include "app/SignalRecorder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "app/RunSummary.h"
#include "tests/app/FilledSink.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::FilledSink;
using testing_support::Source;

TEST(SignalRecorder, OneRowPerDecodedValueAtItsFrameAlignedTime) {
  testing_support::TempDir dir;
  Source source;
  FilledSink sink(source);
  app::SignalRecorder recorder(0.001, 100);
  std::string error;
  ASSERT_TRUE(recorder.Open(dir / "signals.csv", error)) << error;
  ASSERT_TRUE(recorder.Begin(error)) << error;
  // Frame 2: rates at slow samples 0, 3 and 7 (the last two in one slow sample is the same), a
  // value at sample 5. The value lists hold the kind's single-precision form: never read here.
  sink.Put(source, 1, 0, 600.0);
  sink.Put(source, 1, 3, 600.0);
  sink.Put(source, 3, 5, 87.5);
  sink.Put(source, 1, 7, 1200.0);
  sink.Put(source, 1, 7, 1250.0);
  sink.List(source, 1).append(100, 1.0F);
  recorder.AddFrame(2, sink);
  // Frame 3 brings no values.
  sink.ClearValues(source);
  recorder.AddFrame(3, sink);
  ASSERT_TRUE(recorder.Close(error)) << error;

  EXPECT_EQ(testing_support::ReadFile(dir / "signals.csv"),
            "time,signal,value,unit\n"
            "0.2,Engine speed,600,1/min\n"
            "0.203,Engine speed,600,1/min\n"
            "0.207,Engine speed,1200,1/min\n"
            "0.207,Engine speed,1250,1/min\n"
            "0.205,Coolant temperature,87.5,°C\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left
  const auto signals = recorder.Signals();
  ASSERT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals[1].name, "Engine speed");
  EXPECT_EQ(signals[1].values, 4u);
  EXPECT_EQ(signals[1].last, 1250.0);
  EXPECT_EQ(signals[1].min, 600.0);
  EXPECT_EQ(signals[1].max, 1250.0);
}

// Values go to the file and the counts as the decoder delivered them: integers beyond single
// precision stay exact, NaN and infinities are written and counted, and min and max leave them out.
TEST(SignalRecorder, ExtremeAndNonFiniteValuesAreWrittenExactlyAndCounted) {
  testing_support::TempDir dir;
  Source source;
  FilledSink sink(source);
  app::SignalRecorder recorder(0.001, 100);
  std::string error;
  ASSERT_TRUE(recorder.Open(dir / "signals.csv", error)) << error;
  ASSERT_TRUE(recorder.Begin(error)) << error;
  const double inf = std::numeric_limits<double>::infinity();
  sink.Put(source, 1, 1, std::numeric_limits<double>::quiet_NaN());
  for (const auto& [at, value] : {std::pair<std::uint32_t, double>{1, std::nan("")},
                                  {2, 4294967295.0},
                                  {3, 1e300},
                                  {4, inf},
                                  {5, -inf},
                                  {6, 18446744073709551615.0},
                                  {7, -1e300}})
    sink.Put(source, 3, at, value);
  recorder.AddFrame(0, sink);
  ASSERT_TRUE(recorder.Close(error)) << error;
  EXPECT_EQ(testing_support::ReadFile(dir / "signals.csv"),
            "time,signal,value,unit\n"
            "0.001,Engine speed,nan,1/min\n"
            "0.001,Coolant temperature,nan,°C\n"
            "0.002,Coolant temperature,4294967295,°C\n"
            "0.003,Coolant temperature,1e+300,°C\n"
            "0.004,Coolant temperature,inf,°C\n"
            "0.005,Coolant temperature,-inf,°C\n"
            "0.006,Coolant temperature,18446744073709551616,°C\n"
            "0.007,Coolant temperature,-1e+300,°C\n");
  const auto signals = recorder.Signals();
  ASSERT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals[0].values, 7u);
  EXPECT_EQ(signals[0].nonFinite, 3u);
  EXPECT_EQ(signals[0].min, -1e300);
  EXPECT_EQ(signals[0].max, 1e300);
  EXPECT_EQ(signals[0].last, -1e300);
  EXPECT_EQ(signals[1].values, 1u);
  EXPECT_EQ(signals[1].nonFinite, 1u);
  // The summary shows min and max of the finite values, "-" without one, and the count.
  const std::string table = app::RunSummary::FormatSignals(signals, {5, 2});
  EXPECT_NE(table.find("Coolant temperature         °C              7       -1e+300       -1e+300 "
                       "       1e+300        3          0\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("Engine speed                1/min            1           nan             - "
                       "            -        1          0\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("packets decoded: 5, values that shared a slow sample with an earlier one "
                       "of their signal: 2\n"),
            std::string::npos);
}

// Frames written by the recorder's thread, one by one or gathered into blocks, give the file the
// frame loop would have written itself: more frames than the queue holds, a signal that first shows late (its texts travel with that
// frame), frames without values. A device that refuses every write fails the output, which the
// frame loop then sees, while the values are still counted.
TEST(SignalRecorder, WritingInBackgroundGivesTheSameFileAndReportsAFailedOutput) {
  testing_support::TempDir dir;
  Source source;
  FilledSink sink(source);
  const auto record = [&](const std::filesystem::path& file, bool background,
                          std::size_t batchRows = 0) {
    app::SignalRecorder recorder(0.001, 100);
    if (background) recorder.WriteInBackground(batchRows);
    std::string error;
    EXPECT_TRUE(recorder.Open(file, error)) << error;
    EXPECT_TRUE(recorder.Begin(error)) << error;
    for (std::uint64_t frame = 0; frame < 5 * app::SignalRecorder::kQueuedFrames; ++frame) {
      sink.ClearValues(source);
      for (std::uint32_t i = 0; i < 100 && frame % 7 != 3; i += 9)
        sink.Put(source, frame < 11 ? 1 : 3, i, static_cast<double>(frame * 100 + i) / 8);
      recorder.AddFrame(frame, sink);
    }
    const bool closed = recorder.Close(error);
    return std::tuple(closed, recorder.good(), recorder.Signals());
  };
  const auto [inlineClosed, inlineGood, inlineSignals] = record(dir / "inline.csv", false);
  const auto [closed, good, signals] = record(dir / "background.csv", true);
  EXPECT_TRUE(inlineClosed && closed && inlineGood && good);
  const std::string written = testing_support::ReadFile(dir / "background.csv");
  EXPECT_EQ(written, testing_support::ReadFile(dir / "inline.csv"));
  EXPECT_NE(written.find("\n1.1,Coolant temperature,137.5,°C\n"), std::string::npos);
  ASSERT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals[0].values, inlineSignals[0].values);
  // Frames gathered into blocks of at least 25 rows (a frame has 12 or none): the same file, the
  // last block (fewer rows) written by Close.
  const auto [batchClosed, batchGood, batchSignals] = record(dir / "batched.csv", true, 25);
  EXPECT_TRUE(batchClosed && batchGood);
  EXPECT_EQ(testing_support::ReadFile(dir / "batched.csv"), written);

  const std::filesystem::path full = dir / "full";
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "mknod is not permitted here: the failing device is left out";
  const auto [fullClosed, fullGood, fullSignals] = record(full, true);
  EXPECT_FALSE(fullClosed);
  EXPECT_FALSE(fullGood);
  EXPECT_EQ(fullSignals[0].values, signals[0].values);
}

TEST(SignalRecorder, ALongRunsSeriesStaysBoundedAndKeepsItsExtremes) {
  Source source;
  FilledSink sink(source);
  app::SignalRecorder recorder(0.001, 100);
  recorder.KeepSeries();
  // 99 values a frame, a sawtooth of 0..999 with one spike in the middle of the run and one NaN.
  constexpr std::uint64_t kFrames = 3 * app::SignalRecorder::kMaxSeriesPoints / 99;
  std::uint64_t n = 0;
  for (std::uint64_t frame = 0; frame < kFrames; ++frame) {
    sink.ClearValues(source);
    for (std::uint32_t i = 1; i < 100; ++i, ++n)
      sink.Put(source, 3, i,
               n == kFrames * 99 / 2   ? 5000.0
               : n == kFrames * 99 / 3 ? std::nan("")
                                       : static_cast<double>(n % 1000));
    recorder.AddFrame(frame, sink);
  }
  const auto series = recorder.Series();
  ASSERT_EQ(series.size(), 1u);
  const auto& points = series[0].points;
  EXPECT_LE(points.size(), app::SignalRecorder::kMaxSeriesPoints);
  EXPECT_GT(points.size(), app::SignalRecorder::kMaxSeriesPoints / 4);
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const auto& a, const auto& b) { return a.time < b.time; }));
  // The gap a NaN makes in the curve is kept too.
  EXPECT_EQ(std::count_if(points.begin(), points.end(),
                          [](const auto& p) { return std::isnan(p.value); }),
            1);
  double low = 1e9, high = -1e9;
  for (const auto& p : points)
    if (!std::isnan(p.value)) low = std::min(low, p.value), high = std::max(high, p.value);
  EXPECT_EQ(low, 0.0);
  EXPECT_EQ(high, 5000.0);
  EXPECT_EQ(recorder.Signals()[0].values, n);
}

}  // namespace
