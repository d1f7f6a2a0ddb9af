#include "host/valuelists/CDzPulsListe.h"

#include <limits>

void CDzPulsListe::CompletePulsList(std::uint32_t frames) {
  if (frames == 0 || m_entries.empty()) return;
  append(frames, m_entries.back().value);
}

void CDzPulsListe::CalcAverPulsF(float frameRate) noexcept {
  double weighted = 0.0;
  std::uint64_t frames = 0;
  for (const Entry& e : m_entries) {
    weighted += output_value(e.value, frameRate) * e.length;
    frames += e.length;
  }
  m_averageRate = frames == 0 ? 0.0 : weighted / static_cast<double>(frames);
}

double CDzPulsListe::output_value(float stored, float frameRate) const noexcept {
  if (!(stored > 0.0F) || stored == std::numeric_limits<float>::max()) return 0.0;
  // Divided in double and rounded to single precision, the rate comes back as it was decoded
  // (a float) in all but rare cases of double rounding.
  return static_cast<double>(static_cast<float>(static_cast<double>(frameRate) * 60.0 / stored));
}
