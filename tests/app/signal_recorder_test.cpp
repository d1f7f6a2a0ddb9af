#include "app/SignalRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>

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
  CFueGroeListeBasis& pulses = sink.List(source, 1);
  CFueGroeListeBasis& hops = sink.List(source, 3);
  // Frame 2: pulses at slow samples 3 and 7 (periods of 100 and 50 samples at 1000 samples per
  // second: 600 and 1200 per minute) and the completion to the frame's end, which is no value;
  // one hop at sample 5 and its completion.
  pulses.append(3, 100.0F);
  pulses.append(4, 50.0F);
  pulses.append(93, 50.0F);
  hops.append(5, 87.5F);
  hops.append(95, 87.5F);
  recorder.AddFrame(2, sink);
  // Frame 3 brings no values: its lists only carry the last ones on.
  pulses.clear();
  pulses.append(100, 50.0F);
  hops.clear();
  hops.append(100, 87.5F);
  recorder.AddFrame(3, sink);
  ASSERT_TRUE(recorder.Close(error)) << error;

  EXPECT_EQ(testing_support::ReadFile(dir / "signals.csv"),
            "time,signal,value,unit\n"
            "0.203,Engine speed,600,1/min\n"
            "0.207,Engine speed,1200,1/min\n"
            "0.205,Coolant temperature,87.5,°C\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left
  const auto signals = recorder.Signals();
  ASSERT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals[1].name, "Engine speed");
  EXPECT_EQ(signals[1].values, 2u);
  EXPECT_EQ(signals[1].last, 1200.0);
  EXPECT_EQ(signals[1].min, 600.0);
  EXPECT_EQ(signals[1].max, 1200.0);
}

TEST(SignalRecorder, ALongRunsSeriesStaysBoundedAndKeepsItsExtremes) {
  Source source;
  FilledSink sink(source);
  app::SignalRecorder recorder(0.001, 100);
  recorder.KeepSeries();
  CFueGroeListeBasis& hops = sink.List(source, 3);
  // 99 values a frame, a sawtooth of 0..999 with one spike in the middle of the run.
  constexpr std::uint64_t kFrames = 3 * app::SignalRecorder::kMaxSeriesPoints / 99;
  std::uint64_t n = 0;
  for (std::uint64_t frame = 0; frame < kFrames; ++frame) {
    hops.clear();
    for (int i = 0; i < 99; ++i, ++n)
      hops.append(1, n == kFrames * 99 / 2 ? 5000.0F : static_cast<float>(n % 1000));
    hops.append(1, 0.0F);  // completion to the frame's end
    recorder.AddFrame(frame, sink);
  }
  const auto series = recorder.Series();
  ASSERT_EQ(series.size(), 1u);
  const auto& points = series[0].points;
  EXPECT_LE(points.size(), app::SignalRecorder::kMaxSeriesPoints);
  EXPECT_GT(points.size(), app::SignalRecorder::kMaxSeriesPoints / 4);
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const auto& a, const auto& b) { return a.time < b.time; }));
  const auto [low, high] = std::minmax_element(
      points.begin(), points.end(), [](const auto& a, const auto& b) { return a.value < b.value; });
  EXPECT_EQ(low->value, 0.0);
  EXPECT_EQ(high->value, 5000.0);
  EXPECT_EQ(recorder.Signals()[0].values, n);
}

}  // namespace
