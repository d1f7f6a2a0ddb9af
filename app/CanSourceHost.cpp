#include "app/CanSourceHost.h"

#include "app/RegionSizing.h"
#include "host/candriver/CanIo.h"
#include "host/candriver/DriverConfig.h"
#include "host/csharp/XeCSharpRuntime.h"

#include "host/module/ModuleRegistry.h"
#include "host/settings/CResourceSea.h"
#include "host/settings/CSeaBase.h"

namespace app {
bool CanSourceHost::SettingsLoad(std::string& error) {
  // The managed application's medium is loaded by the plug-in, which would only log a refusal;
  // it is read here first, so that a broken file stops the run like the host's own seas.
  CResourceSea medium(L"ManagedApplication", XeCSharpRuntime::MediumFile(CSeaBase::DefaultPath()));
  medium.Load();
  for (const CResourceSea* sea : {CSeaBase::ApplicationSea(), CSeaBase::MessagesSea(), &medium}) {
    if (const auto refused = sea->LoadError()) {
      error = "settings: " + CString(refused->ToString()).ToUtf8();
      return false;
    }
  }
  // The driver would run with no channel at all; a folder in its place is the user's mistake.
  const std::filesystem::path conf = std::filesystem::path(CSeaBase::DefaultPath().str()) /
                                     XeCanDriverKvaser::detail::DriverConfig::kFileName;
  std::error_code ec;
  if (std::filesystem::is_directory(conf, ec)) {
    error = "settings: " + conf.string() + ": is a folder, not a file";
    return false;
  }
  return true;
}

CanSourceHost::~CanSourceHost() {
  m_plugin = nullptr;
  // The module destroys its sources, so their reception threads end before the process tears its
  // statics down.
  m_module.reset();
}

bool CanSourceHost::Create(const std::string& pluginPath, std::string& error) {
  const std::string path =
      pluginPath.empty() ? host::PluginLoader::DefaultPluginPath() : pluginPath;
  if (!m_loader.Load(path)) {
    error = m_loader.error();
    return false;
  }
  m_library = path;
  return CreateModule(path, error);
}

bool CanSourceHost::RecreateModule(std::string& error) {
  m_driver.detach(m_plugin);
  m_plugin = nullptr;
  m_module.reset();
  return CreateModule(m_library, error);
}

bool CanSourceHost::CreateModule(const std::string& library, std::string& error) {
  const CString name(kModuleName);
  m_module = host::ModuleRegistry::Instance().Create(name);
  m_plugin = dynamic_cast<CSlowAsyncSourcePlugin*>(m_module.get());
  if (m_plugin == nullptr) {
    error = library + ": no slow-sampling source module '" + name.ToUtf8() + "' is registered";
    m_module.reset();
    return false;
  }
  if (!m_plugin->Create(name, nullptr)) {
    error = name.ToUtf8() + ": Create failed";
    return false;
  }
  m_driver.attach(m_plugin);
  m_plugin->read_params();
  return true;
}

bool CanSourceHost::Configure(double samplePeriod, unsigned samplesPerFrame) {
  // The module opened every source's channel at read_params; the driver knows their rates.
  std::vector<XeCanDriverKvaser::detail::BusParams> buses;
  for (const auto& row : m_plugin->statistics())
    if (row.active)
      if (const auto bus = XeCanDriverKvaser::OpenBusParams(row.channel)) buses.push_back(*bus);
  m_driver.choose_floats_per_sample(m_plugin, RegionSizing::FloatsPerSample(buses, samplePeriod));
  return m_driver.configure(static_cast<float>(samplePeriod), samplesPerFrame);
}

bool CanSourceHost::HasActiveSource() const {
  for (const auto& row : m_plugin->statistics())
    if (row.active) return true;
  return false;
}

bool CanSourceHost::Start() {
  return m_driver.start();
}

bool CanSourceHost::RunFrame() {
  return m_driver.run_frame();
}

bool CanSourceHost::Stop() {
  return m_driver.stop();
}

bool CanSourceHost::Shutdown(std::string& error) {
  m_plugin->write_params();
  m_plugin->OnSpecialShutdown();
  if (CSeaBase::SaveAll()) return true;
  error = "the settings in " + CString(CSeaBase::DefaultPath()).ToUtf8() +
          " could not be saved (see the lines above)";
  return false;
}

std::vector<SlowSampling::SourceStatistics> CanSourceHost::Statistics() const {
  return m_plugin->statistics();
}

bool CanSourceHost::HasSourceOn(int channel) const {
  for (const auto& row : m_plugin->statistics())
    if (row.channel == channel) return true;
  return false;
}

bool CanSourceHost::OneSourcePerChannel(std::string& error) const {
  const auto rows = m_plugin->statistics();
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = i + 1; j < rows.size(); ++j)
      if (rows[i].active && rows[j].active && rows[i].channel == rows[j].channel) {
        error = "channel " + std::to_string(rows[i].channel) + " has two active sources, '" +
                CString(rows[i].name).ToUtf8() + "' and '" + CString(rows[j].name).ToUtf8() +
                "'; switch one off or move it to another channel";
        return false;
      }
  return true;
}

std::vector<std::string> CanSourceHost::ClosedChannels() const {
  std::vector<std::string> closed;
  for (const auto& row : m_plugin->statistics())
    if (row.active && !XeCanDriverKvaser::OpenBusParams(row.channel))
      closed.push_back("channel " + std::to_string(row.channel) + " of source '" +
                       CString(row.name).ToUtf8() +
                       "' did not open (the driver's line above says why): it receives nothing");
  return closed;
}

}  // namespace app
