#include "app/RunSummary.h"

#include <gtest/gtest.h>

namespace {

SlowSampling::SourceStatistics Row(const wchar_t* name, int channel, std::uint64_t received,
                                   std::uint64_t delivered, std::uint64_t old, std::uint64_t noRoom,
                                   std::uint64_t future, std::uint64_t waiting,
                                   std::uint64_t overflow = 0) {
  SlowSampling::SourceStatistics row;
  row.name = CString(name);
  row.channel = channel;
  row.received = received;
  row.delivered = delivered;
  row.old = old;
  row.noRoom = noRoom;
  row.future = future;
  row.waiting = waiting;
  row.overflow = overflow;
  return row;
}

TEST(RunSummary, HeaderExample) {
  app::RunSummary summary;
  summary.frames = 30;
  summary.frameSeconds = 0.1;
  summary.wallSeconds = 3.0;
  EXPECT_EQ(
      summary.Format(
          {Row(L"CAN 0", 0, 1230, 1227, 0, 0, 0, 3), Row(L"CAN 1", 1, 1230, 1218, 4, 2, 1, 3, 2)}),
      "canhost run: 30 frames of 0.100 s = 3.000 s, real time\n"
      "channel   received  delivered       old   no room    future   waiting  overflow  source\n"
      "      0       1230       1227         0         0         0         3         0  CAN 0\n"
      "      1       1230       1218         4         2         1         3         2  CAN 1\n"
      "  total       2460       2445         4         2         1         6         2\n"
      "effective rate: 815.0 messages/s of measurement, 815.0 messages/s of wall-clock "
      "time\n");

  summary.stoppedBy = "Ctrl-C";
  EXPECT_EQ(summary.Format({}).find("= 3.000 s, stopped by Ctrl-C\n"), 34u);
}

}  // namespace
