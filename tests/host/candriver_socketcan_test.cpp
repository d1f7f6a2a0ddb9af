#include <net/if.h>

#include <cstdlib>

#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using SocketCan = DriverFixture;

TEST_F(SocketCan, MissingInterfaceFailsTheOpenWithAClearLine) {
  Configure("channel 0 socketcan interface=canhostnone0\n");
  CanIo io(0);
  EXPECT_FALSE(io.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  EXPECT_EQ(io.state, 0);
  EXPECT_EQ(Log(), std::vector<std::wstring>{
                       L"candriver: channel 0: SocketCAN interface 'canhostnone0' not found"});
}

// A virtual CAN interface of the kernel, when there is one or it can be made here (root with the
// vcan module); one made here is removed again.
struct VirtualCanInterface {
  VirtualCanInterface() {
    if (if_nametoindex("vcan0") != 0) {
      name = "vcan0";
    } else if (std::system("ip link add dev canhostvcan type vcan 2>/dev/null && "
                           "ip link set canhostvcan up 2>/dev/null") == 0) {
      name = "canhostvcan";
      made = true;
    }
  }
  ~VirtualCanInterface() {
    if (made) [[maybe_unused]]
      int ignored = std::system("ip link delete canhostvcan 2>/dev/null");
  }
  std::string name;
  bool made = false;
};

TEST_F(SocketCan, TwoChannelsOnOneInterfaceHearEachOther) {
  const VirtualCanInterface vcan;
  const std::string& name = vcan.name;
  if (name.empty()) GTEST_SKIP() << "no vcan interface and none can be created here";
  Configure("channel 0 socketcan interface=" + name + "\nchannel 1 socketcan interface=" + name +
            " offset=100\n");
  CanIo sender(0), receiver(1);
  CanControl control(L"vcan", receiver);
  Collector collector(control);
  ASSERT_TRUE(sender.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  ASSERT_TRUE(control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M));
  ASSERT_TRUE(sender.GoOnBus() && control.GoOnBus());
  ASSERT_TRUE(sender.Send(Message(0x123, {1, 2, 3})));
  ASSERT_TRUE(sender.Send(Message(0x18FEF100, {4}, kCanFlagExtended)));
  // The kernel delivers on its own time: wait for the frames themselves.
  ASSERT_TRUE(testing_support::WaitFor([&] {
    WaitUntilDelivered();
    return collector.size() == 2;
  }));
  const auto got = collector.messages();
  EXPECT_EQ(got[0].id, 0x123u);
  EXPECT_EQ(got[0].length, 3);
  EXPECT_EQ(got[1].flags, kCanFlagExtended);
  EXPECT_EQ(got[1].timestamp, static_cast<std::uint32_t>(Now() / 125'000 + 100));
}

}  // namespace
}  // namespace driver_test
