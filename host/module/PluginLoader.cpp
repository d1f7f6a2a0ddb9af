#include "host/module/PluginLoader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"

namespace host {

PluginLoader::~PluginLoader() = default;

namespace {

// Whether an extension module record that is chained in lives in the library of `handle`: the
// record of a library whose entry started it. A library already in the process (linked to the
// program, or loaded before) is judged the same way, as its initialisers do not run again.
bool StartedExtensionModule(void* handle) {
  link_map* library = nullptr;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &library) != 0 || library == nullptr) return false;
  for (const AFX_EXTENSION_MODULE* record : ExtensionRecords()) {
    Dl_info info{};
    link_map* owner = nullptr;
    if (::dladdr1(record, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) != 0 &&
        owner == library)
      return true;
  }
  return false;
}

}  // namespace

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
  const auto before = ModuleRegistry::Instance().Entries();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    m_error = std::string("cannot load plug-in: ") + (why ? why : path);
    return false;
  }
  std::vector<ModuleRegistry::Entry> added = ModuleRegistry::Instance().Entries();
  std::erase_if(added, [&](const ModuleRegistry::Entry& e) {
    return std::find(before.begin(), before.end(), e) != before.end();
  });
  if (!StartedExtensionModule(handle)) {
    // The library may stay mapped after dlclose (it can hold symbols the process keeps); the
    // modules it registered go with the refusal, so that nobody creates them.
    for (const ModuleRegistry::Entry& e : added)
      ModuleRegistry::Instance().Remove(e.cls, e.name);
    ::dlclose(handle);
    m_error =
        added.empty()
            ? "not a UI extension library (no extension module started): " + path
            : "plug-in not loaded, its entry failed (the extension module did not start): " + path;
    return false;
  }
  for (const ModuleRegistry::Entry& e : added)
    m_modules.push_back(e.name);
  std::sort(m_modules.begin(), m_modules.end());
  m_modules.erase(std::unique(m_modules.begin(), m_modules.end()), m_modules.end());
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
