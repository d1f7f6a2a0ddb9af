#include "host/candriver/CanDriver.h"

#include <optional>
#include <string>

#include "host/candriver/CanBackends.h"
#include "host/candriver/DeliveryTracker.h"
#include "host/candriver/DriverLog.h"
#include "host/mfc/CString.h"
#include "host/services/Host.h"
#include "host/settings/FileIO.h"
#include "host/settings/SettingsFolder.h"

namespace XeCanDriverKvaser {

bool WaitUntilDelivered(std::chrono::milliseconds bound) {
  return detail::DeliveryTracker::Get().WaitUntilDelivered(bound);
}

ScopedInlineDelivery::ScopedInlineDelivery() {
  detail::DeliveryTracker::Get().SetInline(true);
}

ScopedInlineDelivery::~ScopedInlineDelivery() {
  detail::DeliveryTracker::Get().SetInline(false);
}

void ReloadConfiguration() {
  detail::CanDriver::Get().Reload();
}

bool ReloadConfigurationIfChanged() {
  return detail::CanDriver::Get().ReloadIfChanged();
}

void ReplayOnChannel(int channel, const std::filesystem::path& file,
                     std::shared_ptr<const LogSpool> spool) {
  detail::CanDriver::Get().SetReplay(channel, file, std::move(spool));
}

bool ReplayFinished(int channel) {
  return detail::DeliveryTracker::Get().ReplayFinished(channel);
}

std::optional<std::int64_t> ReplayNextDue(int channel) {
  return detail::DeliveryTracker::Get().ReplayNextDue(channel);
}

void SkipBusTime(std::int64_t deltaNs) {
  detail::CanDriver::Get().SkipBusTime(deltaNs);
}

namespace detail {

CanDriver& CanDriver::Get() {
  return host::CurrentHost().Get<CanDriver>();
}

// Read as the configuration itself is read: bounded, and never from a FIFO or a device (a file
// refused is known by the reason, so that a file put right again counts as a change).
std::string CanDriver::Fingerprint(const std::filesystem::path& file) {
  std::wstring why;
  const std::optional<std::string> text = FileIO::ReadWholeFile(file, why);
  std::string print(1, '\0');
  print += text ? file.string() + '\0' + *text : CString(why).ToUtf8();
  return print;
}

// A new configuration also makes new virtual buses: a bus keeps the generators it was made with,
// and the handles reopened under the new configuration meet on the new one.
void CanDriver::LoadLocked() {
  const std::filesystem::path file = host::SettingsFolder() / DriverConfig::kFileName;
  m_fingerprint = Fingerprint(file);
  m_config = DriverConfig::Load(file);
  m_loaded = true;
  m_buses.clear();
  ++m_generation;
}

void CanDriver::Reload() {
  std::lock_guard lock(m_mutex);
  LoadLocked();
}

bool CanDriver::ReloadIfChanged() {
  std::lock_guard lock(m_mutex);
  if (!m_loaded || Fingerprint(host::SettingsFolder() / DriverConfig::kFileName) == m_fingerprint)
    return false;
  LoadLocked();
  return true;
}

void CanDriver::SetReplay(int channel, const std::filesystem::path& file,
                          std::shared_ptr<const LogSpool> spool) {
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
  config.spool = std::move(spool);
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
  const std::uint64_t generation = Generation();
  const Backend* backend = FindBackend(config.backend);
  std::unique_ptr<CanPort> port = backend ? backend->open(config, params) : nullptr;
  if (port) port->set_generation(generation);
  return port;
}

std::shared_ptr<VirtualBus> CanDriver::Bus(const std::string& name) {
  std::lock_guard lock(m_mutex);
  if (auto bus = m_buses[name].lock()) return bus;
  auto bus = std::make_shared<VirtualBus>(name, m_config.GeneratorsOf(name));
  m_buses[name] = bus;
  return bus;
}

void CanDriver::SkipBusTime(std::int64_t deltaNs) {
  std::vector<std::shared_ptr<VirtualBus>> buses;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& [name, weak] : m_buses)
      if (auto bus = weak.lock()) buses.push_back(std::move(bus));
  }
  for (const auto& bus : buses)
    bus->SkipTime(deltaNs);
}

}  // namespace detail
}  // namespace XeCanDriverKvaser
