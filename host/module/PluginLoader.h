#pragma once
// Loads a plug-in library. The library's load-time initialisers register its module classes
// (CModuleRegister) and its extension module; the loader reports which module names the library
// brought. It fails, and takes the library's registrations back, when no extension module of the
// library started: not a UI extension library, or one whose entry failed.
#include <string>
#include <vector>

#include "host/mfc/CString.h"

namespace host {

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();  // the library stays loaded until the process ends; see Unload
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // [ui] Loads the library at path. False with a one-line reason in error() on failure.
  bool Load(const std::string& path);
  // [ui] Unloads the library; modules created from it must be destroyed first.
  void Unload();

  const std::string& error() const noexcept { return m_error; }
  // Module names that became registered while the library loaded (sorted).
  const std::vector<CString>& modules() const noexcept { return m_modules; }

  // [any] Path of the plug-in next to the running program: <dir of program>/../lib/libcanplugin.so,
  // or $CANHOST_PLUGIN when set.
  static std::string DefaultPluginPath();

 private:
  void* m_handle = nullptr;
  std::string m_error;
  std::vector<CString> m_modules;
};

}  // namespace host
