#include <gtest/gtest.h>

#include "frame/DriverLogForwarding.h"
#include "host/candriver/DriverLog.h"
#include "host/settings/PrWin.h"

namespace {

TEST(DriverLogForwarding, DriverLinesBecomeErrorLinesOfTheHostLog) {
  can::InstallDriverLogForwarding();
  can::InstallDriverLogForwarding();  // once per CAN source: the same forwarder every time
  host::CaptureLog log;
  XeCanDriverKvaser::detail::Log(L"channel 2: bus off");
  XeCanDriverKvaser::detail::Log(L"already ended\n");
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, L"channel 2: bus off\n");
  EXPECT_EQ(lines[1].text, L"already ended\n");
  for (const auto& line : lines) {
    EXPECT_EQ(line.category, 1);
    EXPECT_EQ(line.style, 3);
  }
  XeCanDriverKvaser::SetLoggingFunction({});
}

}  // namespace
