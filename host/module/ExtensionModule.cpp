#include "host/module/ExtensionModule.h"

#include <algorithm>
#include <mutex>

#include "host/mfc/CString.h"
#include "host/services/Host.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
// The libraries chained at load time.
struct Libraries {
  static constexpr bool kLoadedCode = true;
  std::mutex mutex;
  std::vector<AFX_EXTENSION_MODULE*> modules;
};
Libraries& TheLibraries() {
  return host::CurrentHost().Get<Libraries>();
}
}  // namespace

namespace {
void Refuse(const std::string& name, const wchar_t* reason) {
  const std::wstring line =
      L"AfxInitExtensionModule(): " + CString::FromUtf8(name).str() + L": " + reason + L"\n";
  PrWin::Output(line.c_str(), PrWin::kCategoryError, PrWin::kStyleError);
}
}  // namespace

bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, const char* libraryName) {
  const std::string name = libraryName != nullptr ? libraryName : "";
  if (module.bInitialized) {
    Refuse(name, L"the extension module is initialised already");
    return false;
  }
  if (name.empty()) {
    Refuse(name, L"an extension library needs a name");
    return false;
  }
  const auto chained = host::ExtensionLibraries();
  if (std::find(chained.begin(), chained.end(), name) != chained.end()) {
    Refuse(name, L"an extension library of this name is loaded already");
    return false;
  }
  module.libraryName = name;
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
std::vector<const AFX_EXTENSION_MODULE*> ExtensionRecords() {
  auto& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  std::vector<const AFX_EXTENSION_MODULE*> records;
  for (const auto* m : libs.modules)
    if (m->bInitialized) records.push_back(m);
  return records;
}

std::vector<std::string> ExtensionLibraries() {
  auto& libs = TheLibraries();
  std::lock_guard lock(libs.mutex);
  std::vector<std::string> names;
  for (const auto* m : libs.modules)
    if (m->bInitialized) names.push_back(m->libraryName);
  return names;
}
}  // namespace host
