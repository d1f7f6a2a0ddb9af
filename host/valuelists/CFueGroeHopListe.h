#pragma once
// A hop list: each entry is a step to its value at its frame; the value holds until the next.
#include "host/valuelists/CFueGroeListeBasis.h"

class CFueGroeHopListe : public CFueGroeListeBasis {
 public:
  explicit CFueGroeHopListe(int signal) noexcept : CFueGroeListeBasis(signal, Kind::Hop) {}

  // [processing] Closes the list at `frames`: the lengths then sum to exactly that many. A short
  // list is extended with its last value, a long one cut at the end.
  void ListeAbschliessen(std::uint32_t frames);

  double output_value(float stored, float /*frameRate*/) const noexcept override { return stored; }
};
