#include "host/candriver/CanDriver.h"

#include "host/candriver/CanBackends.h"
#include "host/candriver/DeliveryTracker.h"
#include "host/candriver/DriverLog.h"
#include "host/settings/SettingsFolder.h"

namespace XeCanDriverKvaser {

bool WaitUntilDelivered(std::chrono::milliseconds bound) {
  return detail::DeliveryTracker::Get().WaitUntilDelivered(bound);
}

void ReloadConfiguration() {
  detail::CanDriver::Get().Reload();
}

void ReplayOnChannel(int channel, const std::filesystem::path& file) {
  detail::CanDriver::Get().SetReplay(channel, file);
}

bool ReplayFinished(int channel) {
  return detail::DeliveryTracker::Get().ReplayFinished(channel);
}

namespace detail {

CanDriver& CanDriver::Get() {
  static CanDriver driver;
  return driver;
}

void CanDriver::LoadLocked() {
  m_config = DriverConfig::Load(host::SettingsFolder() / DriverConfig::kFileName);
  m_loaded = true;
}

void CanDriver::Reload() {
  std::lock_guard lock(m_mutex);
  LoadLocked();
}

void CanDriver::SetReplay(int channel, const std::filesystem::path& file) {
  std::lock_guard lock(m_mutex);
  m_replays.erase(channel);
  if (file.empty()) return;
  ChannelConfig config;
  config.channel = channel;
  config.backend = "replay";
  std::string error;
  config.options.Add("file=" + file.string(), error);
  config.folder = file.parent_path();
  config.where = "replay of " + file.string();
  m_replays.emplace(channel, std::move(config));
}

std::unique_ptr<CanPort> CanDriver::Open(int channel, const BusParams& params) {
  ChannelConfig config;
  {
    std::lock_guard lock(m_mutex);
    if (!m_loaded) LoadLocked();
    const auto replay = m_replays.find(channel);
    const ChannelConfig* found =
        replay != m_replays.end() ? &replay->second : m_config.Find(channel);
    if (!found) {
      Log(L"candriver: channel " + std::to_wstring(channel) + L" is not configured");
      return nullptr;
    }
    config = *found;
  }
  const Backend* backend = FindBackend(config.backend);
  return backend ? backend->open(config, params) : nullptr;
}

std::shared_ptr<VirtualBus> CanDriver::Bus(const std::string& name) {
  std::lock_guard lock(m_mutex);
  if (auto bus = m_buses[name].lock()) return bus;
  auto bus = std::make_shared<VirtualBus>(name, m_config.GeneratorsOf(name));
  m_buses[name] = bus;
  return bus;
}

}  // namespace detail
}  // namespace XeCanDriverKvaser
