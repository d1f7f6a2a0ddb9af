#pragma once
// The host's module registry: libraries register module classes by name at load time
// (CModuleRegister), the host creates modules by name and shows them by the display name the
// library's string table holds (the id given at registration; the name without one).
//
//   static CModuleRegister reg(RUNTIME_CLASS(CCanSink), L"CCanSink", IDS_SINK_MODULE);
//   std::unique_ptr<CModule> m = host::ModuleRegistry::Instance().Create(L"CCanSink");
#include <memory>
#include <mutex>
#include <vector>

#include "host/mfc/CObject.h"
#include "host/mfc/CString.h"
#include "host/mfc/Win.h"

class CModule;

// A load-time registration record; unregisters when its library is unloaded.
class CModuleRegister {
 public:
  // `displayNameId`: a string of the library's string table (CLibMgr), 0 for none.
  CModuleRegister(CRuntimeClass* cls, const wchar_t* name, UINT displayNameId = 0);
  ~CModuleRegister();
  CModuleRegister(const CModuleRegister&) = delete;
  CModuleRegister& operator=(const CModuleRegister&) = delete;

 private:
  CRuntimeClass* m_class;
  CString m_name;
};

namespace host {

class ModuleRegistry {
 public:
  // [any] The registry of the loaded libraries' modules (one for the process).
  static ModuleRegistry& Instance();

  // Filled by the load-time initialisers of the loaded libraries: one for the process.
  static constexpr bool kLoadedCode = true;

  struct Entry {
    CString name;
    CRuntimeClass* cls;
    UINT displayNameId = 0;  // string id of the name a person sees; 0: none
    bool operator==(const Entry&) const = default;
  };

  // [any] Registered names, sorted.
  std::vector<CString> Names() const;
  // [any] The registrations, in their order (a name may be registered by two classes).
  std::vector<Entry> Entries() const;
  // [any] The class registered under the name, or null.
  CRuntimeClass* Find(const CString& name) const;
  // [any] The display name's string id registered with the name, or 0.
  UINT DisplayNameId(const CString& name) const;
  // [ui] A new module of the class registered under the name; null when the name is unknown or
  // the class cannot be created or is not a CModule. The caller owns the module.
  std::unique_ptr<CModule> Create(const CString& name) const;

  void Add(CRuntimeClass* cls, const CString& name, UINT displayNameId = 0);
  void Remove(CRuntimeClass* cls, const CString& name);

 private:
  mutable std::mutex m_mutex;
  std::vector<Entry> m_entries;
};

}  // namespace host
