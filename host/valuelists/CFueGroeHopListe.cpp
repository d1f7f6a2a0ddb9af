#include "host/valuelists/CFueGroeHopListe.h"

void CFueGroeHopListe::ListeAbschliessen(std::uint32_t frames) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    sum += m_entries[i].length;
    if (sum >= frames) {
      m_entries[i].length -= static_cast<std::uint32_t>(sum - frames);
      m_entries.resize(i + 1);
      return;
    }
  }
  if (!m_entries.empty() && sum < frames)
    append(static_cast<std::uint32_t>(frames - sum), m_entries.back().value);
}
