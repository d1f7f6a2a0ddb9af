#pragma once
// UI extension libraries. A plug-in library declares one AFX_EXTENSION_MODULE record and
// initialises it from its load-time entry (frame/PluginEntry.cpp does this); the host loader
// refuses a library that did not initialise one, and the dialogs of the library find their
// resources through it.
#include <string>
#include <vector>

struct AFX_EXTENSION_MODULE {
  bool bInitialized = false;
  std::string libraryName;  // file name of the library, for messages
};

// [ui] Initialises the record for the library being loaded; false when it is already initialised.
bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, const char* libraryName);
// [ui] Terminates the record (library unload).
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module);

// Chains an initialised extension module into the host's list of resource libraries.
class CDynLinkLibrary {
 public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& module);
  ~CDynLinkLibrary();
  CDynLinkLibrary(const CDynLinkLibrary&) = delete;
  CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;
  AFX_EXTENSION_MODULE& Module() const noexcept { return m_module; }

 private:
  AFX_EXTENSION_MODULE& m_module;
};

namespace host {
// [any] Names of the extension libraries chained in, in load order.
std::vector<std::string> ExtensionLibraries();
}  // namespace host
