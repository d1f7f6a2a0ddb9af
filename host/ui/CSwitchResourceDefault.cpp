#include "host/ui/CSwitchResourceDefault.h"

#include "host/ui/CLibMgr.h"

CSwitchResourceDefault::CSwitchResourceDefault(const AFX_EXTENSION_MODULE& module)
    : m_previous(CLibMgr::Select(&module)) {}

CSwitchResourceDefault::~CSwitchResourceDefault() {
  CLibMgr::Select(m_previous);
}
