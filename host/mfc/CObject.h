#pragma once
// Run-time class records and the root of the host's class tree.
//
// Every class declared with DECLARE_DYNAMIC / DECLARE_DYNCREATE has one CRuntimeClass record. The
// records are collected at load time into the class list of the library being loaded (see
// mfc::ClassList), so the host can find a class by name and create objects of it.
#include <cstdint>
#include <vector>

class CObject;

struct CRuntimeClass {
  const char* m_lpszClassName;      // class name, ASCII
  int m_nObjectSize;                // sizeof the class
  unsigned int m_wSchema;           // 0xFFFF: never serialised
  CObject* (*m_pfnCreateObject)();  // null unless the class is dynamically creatable
  CRuntimeClass* m_pBaseClass;      // null only for CObject

  // [any] A new default-constructed object on the heap (caller owns), or null when the class is
  // not dynamically creatable.
  CObject* CreateObject() const;
  bool IsDerivedFrom(const CRuntimeClass* base) const noexcept;
  // [any] The record registered under that name, or null.
  static CRuntimeClass* FromName(const char* name);
  static CRuntimeClass* FromName(const wchar_t* name);
};

class CObject {
 public:
  static CRuntimeClass classCObject;

  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  virtual void Serialize() {}
  virtual void AssertValid() const {}
  virtual void Dump() const {}

  bool IsKindOf(const CRuntimeClass* cls) const noexcept;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

namespace mfc {
// Adds a record to the process-wide class list at load time.
// Removes it again when the library that holds it is unloaded.
class ClassInit {
 public:
  explicit ClassInit(CRuntimeClass* cls);
  ~ClassInit();
  ClassInit(const ClassInit&) = delete;
  ClassInit& operator=(const ClassInit&) = delete;

 private:
  CRuntimeClass* m_class;
};
// [any] Every registered class record, in registration order.
std::vector<CRuntimeClass*> RegisteredClasses();
}  // namespace mfc

#define RUNTIME_CLASS(cls) (&cls::class##cls)

#define DECLARE_DYNAMIC(cls)       \
 public:                           \
  static CRuntimeClass class##cls; \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(cls) \
  DECLARE_DYNAMIC(cls)         \
  static CObject* CreateObject();

#define MFC_IMPLEMENT_RUNTIMECLASS(cls, base, schema, create)                           \
  CRuntimeClass cls::class##cls = {#cls, static_cast<int>(sizeof(cls)), schema, create, \
                                   RUNTIME_CLASS(base)};                                \
  CRuntimeClass* cls::GetRuntimeClass() const {                                         \
    return RUNTIME_CLASS(cls);                                                          \
  }                                                                                     \
  static const mfc::ClassInit s_classInit_##cls(RUNTIME_CLASS(cls));

#define IMPLEMENT_DYNAMIC(cls, base) MFC_IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(cls, base)                               \
  CObject* cls::CreateObject() {                                     \
    return new cls; /* NOLINT(bugprone-macro-parentheses): a type */ \
  }                                                                  \
  MFC_IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, cls::CreateObject)
