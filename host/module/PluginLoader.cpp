#include "host/module/PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"

namespace host {

PluginLoader::~PluginLoader() = default;

bool PluginLoader::Load(const std::string& path) {
  m_error.clear();
  m_modules.clear();
  if (m_handle) {
    m_error = "a library is already loaded by this loader";
    return false;
  }
  if (!std::filesystem::exists(path)) {
    m_error = "plug-in library not found: " + path;
    return false;
  }
  const auto namesBefore = ModuleRegistry::Instance().Names();
  const auto libsBefore = ExtensionLibraries().size();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    m_error = std::string("cannot load plug-in: ") + (why ? why : path);
    return false;
  }
  const auto namesAfter = ModuleRegistry::Instance().Names();
  std::set_difference(namesAfter.begin(), namesAfter.end(), namesBefore.begin(), namesBefore.end(),
                      std::back_inserter(m_modules));
  // A library already mapped into the process (linked to the program) registered its modules
  // before; it counts as loaded if it registered an extension module then.
  const bool newlyLoaded = !m_modules.empty() || ExtensionLibraries().size() > libsBefore;
  if (!newlyLoaded && ExtensionLibraries().empty()) {
    ::dlclose(handle);
    m_error = "not a UI extension library (no extension module initialised): " + path;
    return false;
  }
  m_handle = handle;
  return true;
}

void PluginLoader::Unload() {
  if (m_handle) ::dlclose(m_handle);
  m_handle = nullptr;
  m_modules.clear();
}

std::string PluginLoader::DefaultPluginPath() {
  if (const char* env = std::getenv("CANHOST_PLUGIN"); env && *env) return env;
  char exe[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "libcanplugin.so";
  const std::filesystem::path dir =
      std::filesystem::path(std::string(exe, static_cast<std::size_t>(n))).parent_path();
  return (dir.parent_path() / "lib" / "libcanplugin.so").string();
}

}  // namespace host
