#pragma once
// The CAN sink: parses the CAN packets of the sources back out of the slow-sampling data and
// decodes them per bus channel into application signals.
#include "host/slowsampling/CSlowSinkPlugin.h"

class CCanSink : public CSlowSinkPlugin {
  DECLARE_DYNCREATE(CCanSink)
 public:
  CCanSink();
  ~CCanSink() override;
};
