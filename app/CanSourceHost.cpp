#include "app/CanSourceHost.h"

#include "host/module/ModuleRegistry.h"
#include "host/settings/CResourceSea.h"
#include "host/settings/CSeaBase.h"

namespace app {
bool CanSourceHost::SettingsLoad(std::string& error) {
  for (CResourceSea* sea : {CSeaBase::ApplicationSea(), CSeaBase::MessagesSea()}) {
    if (const auto refused = sea->LoadError()) {
      error = "settings: " + CString(refused->ToString()).ToUtf8();
      return false;
    }
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
  const CString name(kModuleName);
  m_module = host::ModuleRegistry::Instance().Create(name);
  m_plugin = dynamic_cast<CSlowAsyncSourcePlugin*>(m_module.get());
  if (m_plugin == nullptr) {
    error = path + ": no slow-sampling source module '" + name.ToUtf8() + "' is registered";
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
  return m_driver.configure(static_cast<float>(samplePeriod), samplesPerFrame);
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

}  // namespace app
