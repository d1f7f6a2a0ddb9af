#include "app/SignalCsvReader.h"

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

using app::SignalCsvReader;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string ReadError(const std::filesystem::path& file) {
  std::vector<ui::PlotSeries> series;
  std::string error;
  EXPECT_FALSE(SignalCsvReader::Read(file, series, error));
  return error;
}

// A quoted field may span lines and hold commas and quotes; a stray quote that never closes is
// reported with the line it opened in once the record outgrows kMaxRecordBytes (not after reading
// the rest of the file once per line); a line longer than that is no row of signals.
TEST(SignalCsvReader, QuotesAreReadInOnePassAndAStrayOneIsBounded) {
  TempDir dir;
  WriteFile(dir / "quoted.csv",
            "time,signal,value,unit\n0.5,\"Temp, \"\"coolant\"\"\nfront\",87,°C\n"
            "0.25,Speed,10,km/h\r\n0.75,\"Temp, \"\"coolant\"\"\nfront\",88,°C\n");
  std::vector<ui::PlotSeries> series;
  std::string error;
  ASSERT_TRUE(SignalCsvReader::Read(dir / "quoted.csv", series, error)) << error;
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(series[1].name, "Temp, \"coolant\"\nfront");
  ASSERT_EQ(series[1].points.size(), 2u);
  EXPECT_EQ(series[1].points[1].value, 88.0);
  EXPECT_EQ(series[0].unit, "km/h");

  std::string rows = "time,signal,value,unit\n0.1,\"Speed,1,km/h\n";
  while (rows.size() <= SignalCsvReader::kMaxRecordBytes + 100)
    rows += "0.2,Speed,1,km/h\n";
  WriteFile(dir / "stray.csv", rows);
  EXPECT_EQ(ReadError(dir / "stray.csv"),
            (dir / "stray.csv").string() + ":2: a quoted field does not end within 1048576 bytes");
  WriteFile(dir / "open.csv", "time,signal,value,unit\n0.1,Speed,1,km/h\n0.2,\"Speed,2,km/h\n");
  EXPECT_EQ(ReadError(dir / "open.csv"),
            (dir / "open.csv").string() + ":3: a quoted field does not end");
  WriteFile(dir / "long.csv",
            "time,signal,value,unit\n" + std::string(SignalCsvReader::kMaxRecordBytes + 1, 'x'));
  EXPECT_EQ(ReadError(dir / "long.csv"), (dir / "long.csv").string() +
                                             ":2: a line longer than 1048576 bytes: not a file of "
                                             "signals");
}

// A recording killed while it wrote may end in a cut row without its line feed: that row is left
// out, the rest is read. A cut row anywhere else, or a whole last row that does not read, is an
// error.
TEST(SignalCsvReader, ACutLastRowOfAKilledRecordingIsLeftOut) {
  TempDir dir;
  WriteFile(dir / "killed.csv", "time,signal,value,unit\n0.1,Speed,1,km/h\n0.2,Spe");
  std::vector<ui::PlotSeries> series;
  std::string error;
  ASSERT_TRUE(SignalCsvReader::Read(dir / "killed.csv", series, error)) << error;
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(series[0].points.size(), 1u);

  WriteFile(dir / "whole.csv", "time,signal,value,unit\n0.1,Speed,1,km/h\n0.2,Spe\n");
  EXPECT_EQ(ReadError(dir / "whole.csv"),
            (dir / "whole.csv").string() + ":3: 2 fields where time,signal,value,unit are 4");
  WriteFile(dir / "last.csv", "time,signal,value,unit\n0.1,Speed,1,km/h\n0.2,Speed,2,km/h");
  ASSERT_TRUE(SignalCsvReader::Read(dir / "last.csv", series, error)) << error;
  EXPECT_EQ(series[0].points.size(), 2u);
}

}  // namespace
