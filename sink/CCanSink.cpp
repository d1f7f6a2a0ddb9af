#include "sink/CCanSink.h"

IMPLEMENT_DYNCREATE(CCanSink, CSlowSinkPlugin)

CCanSink::CCanSink() = default;
CCanSink::~CCanSink() = default;
