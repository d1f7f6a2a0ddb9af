#pragma once
// What the CAN driver tests share: a settings folder with a driver configuration, a manual host
// clock, the driver log captured, and a read monitor that collects messages. Driver objects are
// locals of the test body, so they are gone before the fixture's manual clock is.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/candriver/CanControl.h"
#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverLog.h"
#include "host/services/HostClock.h"
#include "host/settings/SettingsFolder.h"
#include "tests/support/TestSupport.h"

namespace driver_test {

using namespace XeCanDriverKvaser;

class DriverFixture : public ::testing::Test {
 protected:
  DriverFixture() {
    host::SetSettingsFolder(m_dir.path());
    SetLoggingFunction([this](const wchar_t* line) {
      std::lock_guard lock(m_logMutex);
      m_log.emplace_back(line);
    });
    ReloadConfiguration();
  }
  // The function writes into this fixture; the host outlives it.
  ~DriverFixture() override { SetLoggingFunction(nullptr); }

  void Configure(const std::string& text) {
    testing_support::WriteFile(m_dir / "candriver.conf", text);
    ReloadConfiguration();
  }
  std::vector<std::wstring> Log() {
    std::lock_guard lock(m_logMutex);
    return m_log;
  }
  // Number of log lines containing `part`.
  std::size_t Logged(const std::wstring& part) {
    std::size_t n = 0;
    for (const auto& line : Log())
      n += line.find(part) != std::wstring::npos;
    return n;
  }
  void SetTime(std::int64_t ns) { m_clock.clock().set_ns(ns); }
  std::int64_t Now() { return m_clock.clock().now_ns(); }

  testing_support::TempDir m_dir;
  host::ScopedManualClock m_clock;

 private:
  std::mutex m_logMutex;
  std::vector<std::wstring> m_log;
};

// Collects what a controller receives, and on which thread.
class Collector {
 public:
  explicit Collector(CanControl& control) {
    control.AddCanReadMonitor([this](const CanMessage& m) {
      std::lock_guard lock(m_mutex);
      m_messages.push_back(m);
      m_threads.push_back(std::this_thread::get_id());
      return true;
    });
  }
  std::vector<CanMessage> messages() {
    std::lock_guard lock(m_mutex);
    return m_messages;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard lock(m_mutex);
    return m_threads;
  }
  std::size_t size() { return messages().size(); }

 private:
  std::mutex m_mutex;
  std::vector<CanMessage> m_messages;
  std::vector<std::thread::id> m_threads;
};

inline CanMessage Message(std::uint32_t id, std::vector<std::uint8_t> data,
                          std::uint32_t flags = 0) {
  CanMessage m;
  m.id = id;
  m.flags = flags;
  m.length = static_cast<std::int32_t>(data.size());
  for (std::size_t i = 0; i < data.size(); ++i)
    m.data[i] = data[i];
  return m;
}

}  // namespace driver_test
