#pragma once
// A sink base's entry for one attached source: the signals the sink offers for it and the state
// the host keeps for each of them (created by update_container).
#include <map>
#include <vector>

#include "host/slowsampling/CSignal.h"
#include "host/slowsampling/SinkSignalState.h"

class SinkSourceEntry {
 public:
  std::map<int, SinkSignalState> states;       // by application signal number
  std::vector<SlowSampling::CSignal> signals;  // offered, in the sink's order
};
