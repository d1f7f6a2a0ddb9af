#include "host/ui/CLibMgr.h"

#include <map>

#include "host/module/ExtensionModule.h"
#include "host/services/Host.h"

namespace {

// All of the UI runs on one thread, so the registry needs no lock. The resources are registered
// when a library loads.
struct Registry {
  static constexpr bool kLoadedCode = true;
  std::map<const AFX_EXTENSION_MODULE*, const ui::ResourceSet*> sets;
  const AFX_EXTENSION_MODULE* selected = nullptr;
};

Registry& Get() {
  return host::CurrentHost().Get<Registry>();
}

const wchar_t* FindString(const ui::ResourceSet* set, UINT id) {
  if (!set) return nullptr;
  for (const ui::StringRes& s : set->strings)
    if (s.id == id) return s.text;
  return nullptr;
}

}  // namespace

void CLibMgr::RegisterResources(const AFX_EXTENSION_MODULE& module, const ui::ResourceSet* set) {
  if (set)
    Get().sets[&module] = set;
  else
    Get().sets.erase(&module);
}

CString CLibMgr::LoadStringW(UINT id) {
  Registry& r = Get();
  if (const wchar_t* text = FindString(Resources(r.selected), id)) return text;
  for (const auto& [module, set] : r.sets)
    if (const wchar_t* text = FindString(set, id)) return text;
  return {};
}

const ui::DialogRes* CLibMgr::FindDialog(const AFX_EXTENSION_MODULE* module, int id) {
  const ui::ResourceSet* set = Resources(module);
  if (!set) return nullptr;
  for (const ui::DialogRes& d : set->dialogs)
    if (d.id == id) return &d;
  return nullptr;
}

const ui::ResourceSet* CLibMgr::Resources(const AFX_EXTENSION_MODULE* module) {
  const auto it = Get().sets.find(module);
  return it == Get().sets.end() ? nullptr : it->second;
}

const AFX_EXTENSION_MODULE* CLibMgr::Selected() {
  return Get().selected;
}

const AFX_EXTENSION_MODULE* CLibMgr::Select(const AFX_EXTENSION_MODULE* module) {
  const AFX_EXTENSION_MODULE* previous = Get().selected;
  Get().selected = module;
  return previous;
}
