#pragma once
// What the plug-in tests share, in the test case's own host: a fresh settings folder (optional
// driver configuration), a manual host clock, the host log captured and a source registry whose
// sign-ins the test may refuse or give a used id; plus a sender handle on the virtual bus.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "host/candriver/CanDriver.h"
#include "host/candriver/CanIo.h"
#include "host/services/CCentralMessageService.h"
#include "host/services/Host.h"
#include "host/services/HostClock.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "host/slowsampling/CSourceInfo.h"
#include "tests/support/TestSupport.h"

namespace plugin_test {

using namespace XeCanDriverKvaser;

class PluginRig : public ::testing::Test {
 protected:
  explicit PluginRig(const std::string& driverConfig = {}) {
    EXPECT_TRUE(host::CurrentHost().Put(std::make_unique<SlowSampling::CSourceInfo>(
        [script = m_signins](int lastId) { return script->Next(lastId); })));
    host::SetSettingsFolder(m_dir.path());
    if (!driverConfig.empty()) testing_support::WriteFile(m_dir / "candriver.conf", driverConfig);
    ReloadConfiguration();
  }

  // The next sign-in of a source is refused.
  void RefuseNextSignin() { m_signins->answers.push_back(0); }
  // The next sign-in gives `id`, normally one given already: the source signed in under it is no
  // longer in the registry.
  void ReuseIdAtNextSignin(int id) { m_signins->answers.push_back(id); }

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

  // The registry's answers still to give; after them, the next id as the host's own chooser.
  struct SigninScript {
    std::deque<int> answers;
    int Next(int lastId) {
      if (answers.empty()) return lastId + 1;
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
  };
  std::shared_ptr<SigninScript> m_signins = std::make_shared<SigninScript>();
  testing_support::TempDir m_dir;
  host::ScopedManualClock m_clock;
  host::CaptureLog m_log;
};

}  // namespace plugin_test
