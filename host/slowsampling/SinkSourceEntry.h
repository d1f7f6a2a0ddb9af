#pragma once
// A sink base's entry for one attached source: the signals the sink offers for it, the state the
// host keeps for each of them (created by update_container), and the block's decoded values.
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "host/slowsampling/CSignal.h"
#include "host/slowsampling/SinkSignalState.h"

class SinkSourceEntry {
 public:
  // One decoded value, as the decoder delivered it. The value lists store single precision and
  // one entry per frame; the host's displays and recordings read these instead, so that a 32-bit
  // integer, a double or a second value in one frame reaches them unchanged.
  struct Value {
    std::uint32_t ordinal;  // the signal's state: SinkSignalState::ordinal
    std::uint32_t frame;    // row of the block the value's packet is in, 0 for the first
    double value;           // physical value (of a pulse list too: the rate, not the period)
  };

  std::map<int, SinkSignalState> states;       // by application signal number
  std::vector<SlowSampling::CSignal> signals;  // offered, in the sink's order
  // The block's values of every signal in decoding order: one log rather than a list per
  // signal, so that recording a value writes where the one before was written. Emptied at the
  // block's start, the storage kept. Written [processing], read after the block by the host.
  std::vector<Value> values;

  // [processing] The state of a signal, or null: a hash lookup for the per-value path, kept in
  // line with `states` by the host's update_container.
  SinkSignalState* find(int signal) noexcept {
    const auto it = m_index.find(signal);
    return it == m_index.end() ? nullptr : it->second;
  }
  // [ui] Rebuilds the lookup and the ordinals after `states` changed; the values of the last
  // block, keyed by the old ordinals, go.
  void reindex() {
    m_index.clear();
    std::uint32_t ordinal = 0;
    for (auto& [number, state] : states) {
      m_index.emplace(number, &state);
      state.ordinal = ordinal++;
    }
    values.clear();
  }

 private:
  std::unordered_map<int, SinkSignalState*> m_index;
};
