#pragma once
// What a sink base keeps per offered application signal of one source: the value list of the
// current block and what carries over from block to block.
#include <cstdint>
#include <memory>

#include "host/valuelists/CFueGroeListeBasis.h"

class SinkSignalState {
 public:
  std::unique_ptr<CFueGroeListeBasis> list;  // pulse or hop list, by the signal's kind
  // Position of the state among its entry's states (in signal order), set by the entry's
  // reindex: the key of the signal in the entry's log of decoded values.
  std::uint32_t ordinal = 0;
  int lastFrame = -1;          // frame of the last value in this block, -1: none
  float lastValue = 0.0F;      // stored value of the last value (any block)
  std::uint32_t lastTick = 0;  // GetTickCount of the last value; the host sets it at creation
  bool silent = false;         // timed out since the last value
  std::uint32_t timeouts = 0;  // silences that ran into the time-out (shown by the host)
};
