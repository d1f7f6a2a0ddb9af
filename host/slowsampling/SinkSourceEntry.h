#pragma once
// A sink base's entry for one attached source: the signals the sink offers for it and the state
// the host keeps for each of them (created by update_container).
#include <map>
#include <unordered_map>
#include <vector>

#include "host/slowsampling/CSignal.h"
#include "host/slowsampling/SinkSignalState.h"

class SinkSourceEntry {
 public:
  std::map<int, SinkSignalState> states;       // by application signal number
  std::vector<SlowSampling::CSignal> signals;  // offered, in the sink's order

  // [processing] The state of a signal, or null: a hash lookup for the per-value path, kept in
  // line with `states` by the host's update_container.
  SinkSignalState* find(int signal) noexcept {
    const auto it = m_index.find(signal);
    return it == m_index.end() ? nullptr : it->second;
  }
  // [ui] Rebuilds the lookup after `states` changed.
  void reindex() {
    m_index.clear();
    for (auto& [number, state] : states)
      m_index.emplace(number, &state);
  }

 private:
  std::unordered_map<int, SinkSignalState*> m_index;
};
