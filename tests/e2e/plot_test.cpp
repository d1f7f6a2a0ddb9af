// Pictures of decoded signals without a display: canhost run --plot and canhost plot on the
// default OBD-II measurement, checked pixel by pixel for a curve in every panel.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "app/SignalCsvReader.h"
#include "host/ui/qt/QtPlotImage.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RunProgram;

// Pixels of `rgb` inside the box.
int CurvePixels(const QImage& image, const ui::qt::QtPlotImage::PanelBox& box, std::uint32_t rgb) {
  int count = 0;
  for (int y = box.y; y < box.y + box.height; ++y)
    for (int x = box.x; x < box.x + box.width; ++x)
      count += (image.pixel(x, y) & 0xffffffu) == rgb ? 1 : 0;
  return count;
}

TEST(CanhostPlot, TheDefaultRunDrawsEachDecodedSignalInItsPanel) {
  testing_support::TempDir dir;
  const auto csv = dir / "signals.csv";
  const auto png = dir / "run.png";
  // 20 s: the car pulls away, reaches 100 km/h and cruises, so engine and vehicle speed move.
  const auto run = RunProgram(
      "canhost", {"run", "--fast", "--seconds", "20", "--quiet", "--settings", (dir / "s").string(),
                  "--signals", csv.string(), "--plot", png.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const QImage image(QString::fromStdString(png.string()));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1600);
  EXPECT_EQ(image.height(), 900);
  const auto shots = testing_support::BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(shots);
  std::filesystem::copy_file(png, shots / "canhost_run_plot.png",
                             std::filesystem::copy_options::overwrite_existing);

  std::vector<ui::PlotSeries> series;
  std::string error;
  ASSERT_TRUE(app::SignalCsvReader::Read(csv, series, error)) << error;
  std::vector<std::string> names;
  names.reserve(series.size());
  for (const auto& s : series)
    names.push_back(s.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Ambient temperature", "Coolant temperature", "Engine speed",
                                      "Throttle position", "Vehicle speed"}));
  const auto panels = ui::qt::QtPlotImage::Panels(series, 1600, 900);
  ASSERT_EQ(panels.size(), 5u);
  for (const auto& panel : panels) {
    ASSERT_EQ(panel.rgb.size(), 1u);
    EXPECT_GT(panel.height, 100);
    // A step curve across the whole time span: at least a pixel a column.
    EXPECT_GT(CurvePixels(image, panel, panel.rgb[0]), panel.width) << panel.y;
    for (const auto& other : panels)
      if (&other != &panel) {
        EXPECT_EQ(CurvePixels(image, panel, other.rgb[0]), 0);
      }
  }

  // The saved file draws the same picture.
  const auto again = dir / "again.png";
  const auto plot = RunProgram("canhost", {"plot", csv.string(), "-o", again.string()});
  ASSERT_EQ(plot.exitCode, 0) << plot.err;
  EXPECT_EQ(testing_support::ReadFile(again), testing_support::ReadFile(png));
  const auto small = RunProgram("canhost", {"plot", csv.string(), "-o", again.string(), "--size",
                                            "640x360", "--signal", "Engine speed"});
  ASSERT_EQ(small.exitCode, 0) << small.err;
  EXPECT_EQ(QImage(QString::fromStdString(again.string())).size(), QSize(640, 360));
}

TEST(CanhostPlot, BadInputIsAUsageErrorWithFileAndLine) {
  testing_support::TempDir dir;
  const auto bad = dir / "bad.csv";
  testing_support::WriteFile(bad, "time,signal,value,unit\n0.1,a,1,V\n0.2,a,one,V\n");
  const auto out = (dir / "out.png").string();
  auto r = RunProgram("canhost", {"plot", bad.string(), "-o", out});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find(bad.string() + ":3: value 'one' is not a number"), std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(out));
  r = RunProgram("canhost", {"plot", (dir / "missing.csv").string(), "-o", out});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("missing.csv: cannot open: No such file or directory"), std::string::npos)
      << r.err;
  r = RunProgram("canhost", {"plot", bad.string()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("-o FILE.png is missing"), std::string::npos) << r.err;
  testing_support::WriteFile(bad, "time,signal,value,unit\n0.1,a,1,V\n");
  r = RunProgram("canhost", {"plot", bad.string(), "-o", out, "--signal", "b"});
  EXPECT_EQ(r.exitCode, 2);
  r = RunProgram("canhost", {"plot", bad.string(), "-o", (dir / "no" / "out.png").string()});
  EXPECT_EQ(r.exitCode, 1);
  r = RunProgram("canhost", {"run", "--plot", out, "--size", "100x100"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--size: '100x100' is not WIDTHxHEIGHT"), std::string::npos) << r.err;
}

}  // namespace
