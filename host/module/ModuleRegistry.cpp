#include "host/module/ModuleRegistry.h"

#include <algorithm>

#include "host/module/CModule.h"
#include "host/services/Host.h"

CModuleRegister::CModuleRegister(CRuntimeClass* cls, const wchar_t* name, UINT displayNameId)
    : m_class(cls), m_name(name) {
  host::ModuleRegistry::Instance().Add(m_class, m_name, displayNameId);
}

CModuleRegister::~CModuleRegister() {
  host::ModuleRegistry::Instance().Remove(m_class, m_name);
}

namespace host {

ModuleRegistry& ModuleRegistry::Instance() {
  return CurrentHost().Get<ModuleRegistry>();
}

std::vector<CString> ModuleRegistry::Names() const {
  std::vector<CString> names;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& e : m_entries)
      names.push_back(e.name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<ModuleRegistry::Entry> ModuleRegistry::Entries() const {
  std::lock_guard lock(m_mutex);
  return m_entries;
}

CRuntimeClass* ModuleRegistry::Find(const CString& name) const {
  std::lock_guard lock(m_mutex);
  for (const auto& e : m_entries)
    if (e.name == name) return e.cls;
  return nullptr;
}

UINT ModuleRegistry::DisplayNameId(const CString& name) const {
  std::lock_guard lock(m_mutex);
  for (const auto& e : m_entries)
    if (e.name == name) return e.displayNameId;
  return 0;
}

std::unique_ptr<CModule> ModuleRegistry::Create(const CString& name) const {
  CRuntimeClass* cls = Find(name);
  if (!cls || !cls->IsDerivedFrom(RUNTIME_CLASS(CModule))) return nullptr;
  CObject* object = cls->CreateObject();
  return std::unique_ptr<CModule>(static_cast<CModule*>(object));
}

void ModuleRegistry::Add(CRuntimeClass* cls, const CString& name, UINT displayNameId) {
  std::lock_guard lock(m_mutex);
  m_entries.push_back({name, cls, displayNameId});
}

void ModuleRegistry::Remove(CRuntimeClass* cls, const CString& name) {
  std::lock_guard lock(m_mutex);
  auto it = std::find_if(m_entries.begin(), m_entries.end(),
                         [&](const Entry& e) { return e.cls == cls && e.name == name; });
  if (it != m_entries.end()) m_entries.erase(it);
}

}  // namespace host
