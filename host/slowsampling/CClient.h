#pragma once
// Whoever asks a sink for its signals (get_signals): the host's signal list, a test.
#include "host/slowsampling/CSignal.h"

namespace SlowSampling {

class CClient {
 public:
  virtual ~CClient() = default;
  // [ui] One offered signal of the source with that id (the signal is copied if kept).
  virtual void add_signal(int sourceId, const CSignal& signal) = 0;
};

}  // namespace SlowSampling
