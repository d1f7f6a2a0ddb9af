#include "source/CCanSourceModule.h"

IMPLEMENT_DYNCREATE(CCanSourceModule, CSlowAsyncSourcePlugin)

CCanSourceModule::CCanSourceModule() = default;
CCanSourceModule::~CCanSourceModule() = default;
