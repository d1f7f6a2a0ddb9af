#pragma once
// UI extension libraries. A plug-in library declares one AFX_EXTENSION_MODULE record and
// initialises it from its load-time entry (plugin/PluginEntry.cpp does this); the dialogs of the
// library find their resources through it. The host loader keeps a library only while a record
// that lives in it is chained in (CDynLinkLibrary): an entry whose start failed chains nothing,
// and the load fails, as a library whose entry reports failure does not load.
#include <string>
#include <vector>

struct AFX_EXTENSION_MODULE {
  bool bInitialized = false;
  std::string libraryName;  // file name of the library, for messages
};

// [ui] Initialises the record for the library being loaded. False, with the reason in the host log
// (category error), when the record is already initialised, the name is empty, or an extension
// library of that name is chained in already: a second copy of a plug-in would bring its modules
// and resources a second time under the same names.
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
// [any] Their records (owned by their libraries), in load order.
std::vector<const AFX_EXTENSION_MODULE*> ExtensionRecords();
}  // namespace host
