#pragma once
// What the plug-in tests share: a fresh settings folder (seas reloaded, optional driver
// configuration), a manual host clock, the host log captured, an empty UI queue and a fresh host
// USB/frame sync; plus a sender handle on the virtual bus.
#include <gtest/gtest.h>

#include <string>

#include "host/candriver/CanDriver.h"
#include "host/candriver/CanIo.h"
#include "host/services/CCentralMessageService.h"
#include "host/services/HostClock.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "host/timemachine/CQorSyncInterface.h"
#include "tests/support/TestSupport.h"

namespace plugin_test {

using namespace XeCanDriverKvaser;

class PluginRig : public ::testing::Test {
 protected:
  explicit PluginRig(const std::string& driverConfig = {}) {
    host::SetSettingsFolder(m_dir.path());
    if (!driverConfig.empty()) testing_support::WriteFile(m_dir / "candriver.conf", driverConfig);
    ReloadConfiguration();
    CSeaBase::ReloadAll();
    CCentralMessageService::Clear();
    CQorSyncInterface::reset_host();
  }
  ~PluginRig() override {
    CCentralMessageService::Clear();
    CSeaBase::ReloadAll();
    host::SetSettingsFolder({});
  }

  // Sets the host clock to t (ns since its start); never backwards.
  void SetTime(std::int64_t ns) { m_clock.clock().set_ns(ns); }
  std::int64_t Now() { return m_clock.clock().now_ns(); }

  // A handle on a channel of the virtual bus, on bus at 500 kbit/s, to put messages on the bus.
  static CanIo Sender(int channel) {
    CanIo io(channel);
    EXPECT_TRUE(io.Open(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M) && io.GoOnBus());
    return io;
  }
  static CanMessage Message(std::uint32_t id, std::initializer_list<std::uint8_t> data) {
    CanMessage m;
    m.id = id;
    m.length = static_cast<std::int32_t>(data.size());
    std::size_t i = 0;
    for (auto b : data)
      m.data[i++] = b;
    return m;
  }

  testing_support::TempDir m_dir;
  host::ScopedManualClock m_clock;
  host::CaptureLog m_log;
};

}  // namespace plugin_test
