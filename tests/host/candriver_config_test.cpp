#include "host/candriver/CanDriver.h"
#include "host/candriver/ConfigOptions.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using detail::ConfigOptions;
using detail::DriverConfig;
using DriverConfiguration = DriverFixture;

// The lines documented in CanDriver.h, read as one file.
TEST_F(DriverConfiguration, ReadsTheDocumentedLinesAndReportsTheWrongOnes) {
  const DriverConfig config = DriverConfig::Parse(
      "# CAN channels of the bench\n"
      "channel 0 virtual\n"
      "channel 1 virtual bus=body offset=8000 drift=-12.5\n"
      "channel 2 replay file=drive.log interface=can1\n"
      "channel 3 socketcan interface=vcan0\n"
      "generator body id=123,18FEF100 period=10ms\n"
      "generator body id=200 period=5ms length=64 fd=1 data=ramp\n"
      "channel 4 serial\n"
      "channel 1 virtual\n"
      "channel 5 replay\n"
      "channel 6 virtual speed=2\n"
      "generator body id=123 period=10ms length=9\n"
      "channel 7 virtual drift=1000.5  # beyond 1000 ppm\n"
      "bus 8\n",
      "cfg", "/settings");
  ASSERT_EQ(config.channels().size(), 4u);
  EXPECT_EQ(config.Find(0)->backend, "virtual");
  EXPECT_EQ(config.Find(0)->options.Find("bus"), nullptr);
  EXPECT_EQ(*config.Find(1)->options.Find("bus"), "body");
  EXPECT_EQ(config.Find(1)->clock.offsetTicks, 8000);
  EXPECT_EQ(config.Find(1)->clock.driftPpb, -12'500);
  EXPECT_EQ(*config.Find(2)->options.Find("file"), "drive.log");
  EXPECT_EQ(config.Find(2)->folder, "/settings");
  EXPECT_EQ(config.Find(2)->where, "cfg:4");
  EXPECT_EQ(*config.Find(3)->options.Find("interface"), "vcan0");
  EXPECT_EQ(config.Find(4), nullptr);
  const auto generators = config.GeneratorsOf("body");
  ASSERT_EQ(generators.size(), 2u);
  EXPECT_EQ(generators[0].frames(), 2u);
  EXPECT_EQ(generators[0].periodNs(), 10'000'000);
  EXPECT_TRUE(generators[1].fd());

  EXPECT_EQ(Log(),
            (std::vector<std::wstring>{
                L"candriver: cfg:8: unknown backend 'serial' (known: virtual, replay, socketcan)",
                L"candriver: cfg:9: channel 1 is already configured at cfg:3",
                L"candriver: cfg:10: a replay channel needs file=",
                L"candriver: cfg:11: unknown option 'speed' (known: bus)",
                L"candriver: cfg:12: length 9 does not fit a classic CAN frame",
                L"candriver: cfg:13: drift must be ppm within -1000..1000, at most 3 decimals",
                L"candriver: cfg:14: expected 'channel' or 'generator', found 'bus'",
            }));
}

TEST_F(DriverConfiguration, ValuesOfTheDocumentedForms) {
  std::int64_t v = 0;
  EXPECT_TRUE(ConfigOptions::ParseDurationNs("10ms", v) && v == 10'000'000);
  EXPECT_TRUE(ConfigOptions::ParseDurationNs("250us", v) && v == 250'000);
  EXPECT_TRUE(ConfigOptions::ParseDurationNs("2s", v) && v == 2'000'000'000);
  EXPECT_TRUE(ConfigOptions::ParseDurationNs("15", v) && v == 15'000'000);
  EXPECT_FALSE(ConfigOptions::ParseDurationNs("1.5ms", v));
  EXPECT_TRUE(ConfigOptions::ParseDriftPpb("25", v) && v == 25'000);
  EXPECT_TRUE(ConfigOptions::ParseDriftPpb("-12.5", v) && v == -12'500);
  EXPECT_TRUE(ConfigOptions::ParseDriftPpb("0.001", v) && v == 1);
  EXPECT_FALSE(ConfigOptions::ParseDriftPpb("1001", v));
  EXPECT_TRUE(ConfigOptions::ParseInteger("-4000", v) && v == -4000);
  EXPECT_FALSE(ConfigOptions::ParseInteger("0x10", v));
}

// A configuration in the settings folder replaces the default; a generator nobody hears is
// pointed out.
TEST_F(DriverConfiguration, FileInTheSettingsFolderReplacesTheDefault) {
  Configure(
      "channel 9 virtual bus=\"a bus\"  # quoted: may hold blanks\n"
      "generator other id=1 period=1s\n");
  EXPECT_EQ(Logged(L"candriver: " + (m_dir / "candriver.conf").wstring() +
                   L": generator for bus 'other', which no virtual channel uses"),
            1u);
  CanIo zero(0), nine(9);
  EXPECT_FALSE(zero.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  EXPECT_TRUE(nine.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
}

}  // namespace
}  // namespace driver_test
