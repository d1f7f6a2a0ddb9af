#pragma once
// The CAN source module: one CAN channel source per configured channel, time alignment of the
// channels and per-frame delivery of CAN packets into the slow-sampling container.
#include "host/slowsampling/CSlowAsyncSourcePlugin.h"

class CCanSourceModule : public CSlowAsyncSourcePlugin {
  DECLARE_DYNCREATE(CCanSourceModule)
 public:
  CCanSourceModule();
  ~CCanSourceModule() override;

  // Packets carry 8-bit channel codes in 8-bit units; the sink accepts only data described so.
  std::pair<int, int> data_format() override { return {8, 8}; }
};
