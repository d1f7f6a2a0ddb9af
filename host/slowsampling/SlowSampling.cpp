#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/slowsampling/CSlowSinkPlugin.h"

IMPLEMENT_DYNAMIC(CSlowAsyncSourcePlugin, CSpecialModeClient)
IMPLEMENT_DYNAMIC(CSlowSinkPlugin, CSpecialModeClient)
