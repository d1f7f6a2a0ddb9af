#include "host/module/ExtensionModule.h"

#include <algorithm>
#include <mutex>

namespace {
struct Libraries {
  std::mutex mutex;
  std::vector<AFX_EXTENSION_MODULE*> modules;
};
Libraries& TheLibraries() {
  static Libraries libraries;
  return libraries;
}
}  // namespace

bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, const char* libraryName) {
  if (module.bInitialized) return false;
  module.libraryName = libraryName ? libraryName : "";
  module.bInitialized = true;
  return true;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module) {
  module.bInitialized = false;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& module) : m_module(module) {
  auto& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  libs.modules.push_back(&module);
}

CDynLinkLibrary::~CDynLinkLibrary() {
  auto& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  std::erase(libs.modules, &m_module);
}

namespace host {
std::vector<std::string> ExtensionLibraries() {
  auto& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  std::vector<std::string> names;
  for (const auto* m : libs.modules)
    if (m->bInitialized) names.push_back(m->libraryName);
  return names;
}
}  // namespace host
