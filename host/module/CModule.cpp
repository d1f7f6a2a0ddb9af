#include "host/module/CModule.h"

#include "host/module/CSpecialModeClient.h"

IMPLEMENT_DYNAMIC(CModule, CObject)
IMPLEMENT_DYNAMIC(CSpecialModeClient, CModule)

BOOL CModule::Create(const CString& name, CModule* parent) {
  m_name = name;
  m_commandOwner = name;
  m_parent = parent;
  return TRUE;
}

BOOL CSpecialModeClient::Create(const CString& name, CModule* parent) {
  return CModule::Create(name, parent);
}
