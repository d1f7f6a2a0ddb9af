#include "host/mfc/CObject.h"

#include <cstring>
#include <mutex>

#include "host/mfc/CString.h"
#include "host/services/Host.h"

namespace {
// The classes of the loaded libraries, registered at load time.
struct ClassList {
  static constexpr bool kLoadedCode = true;
  std::mutex mutex;
  std::vector<CRuntimeClass*> classes;
};
ClassList& List() {
  return host::CurrentHost().Get<ClassList>();
}
}  // namespace

CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF,
                                       nullptr, nullptr};
static const mfc::ClassInit s_classInitCObject(&CObject::classCObject);

CRuntimeClass* CObject::GetRuntimeClass() const {
  return &classCObject;
}

bool CObject::IsKindOf(const CRuntimeClass* cls) const noexcept {
  return GetRuntimeClass()->IsDerivedFrom(cls);
}

CObject* CRuntimeClass::CreateObject() const {
  return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const noexcept {
  for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
    if (c == base) return true;
  return false;
}

CRuntimeClass* CRuntimeClass::FromName(const char* name) {
  if (!name) return nullptr;
  auto& list = List();
  std::lock_guard lock(list.mutex);
  for (CRuntimeClass* c : list.classes)
    if (std::strcmp(c->m_lpszClassName, name) == 0) return c;
  return nullptr;
}

CRuntimeClass* CRuntimeClass::FromName(const wchar_t* name) {
  if (!name) return nullptr;
  return FromName(mfc::NarrowUtf8(name).c_str());
}

namespace mfc {
ClassInit::ClassInit(CRuntimeClass* cls) : m_class(cls) {
  auto& list = List();
  std::lock_guard lock(list.mutex);
  list.classes.push_back(cls);
}

ClassInit::~ClassInit() {
  auto& list = List();
  std::lock_guard lock(list.mutex);
  std::erase(list.classes, m_class);
}

std::vector<CRuntimeClass*> RegisteredClasses() {
  auto& list = List();
  std::lock_guard lock(list.mutex);
  return list.classes;
}
}  // namespace mfc
