#pragma once
// A pulse list: each entry is a pulse at its frame, and its value the period in frames that the
// pulse's rate implies (a rate r per minute at F frames per second: F x 60 / r). Used for rates
// such as engine speed, whose natural form is a train of pulses.
#include "host/valuelists/CFueGroeListeBasis.h"

class CDzPulsListe : public CFueGroeListeBasis {
 public:
  explicit CDzPulsListe(int signal) noexcept : CFueGroeListeBasis(signal, Kind::Pulse) {}

  // [processing] Fills the gap of `frames` frames behind the last pulse up to the block's end
  // with the last period: the rate goes on until the next pulse. Nothing for 0 or an empty list.
  void CompletePulsList(std::uint32_t frames);
  // [processing] The block's average rate per minute (weighted by length), kept in
  // average_rate(); 0 for an empty list.
  void CalcAverPulsF(float frameRate) noexcept;
  // [any] Result of the last CalcAverPulsF.
  double average_rate() const noexcept { return m_averageRate; }

  // Rate per minute of a period; a period of 0 or the largest float (a rate of 0) gives 0.
  double output_value(float stored, float frameRate) const noexcept override;

 private:
  double m_averageRate = 0.0;
};
