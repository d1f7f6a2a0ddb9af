#include "host/valuelists/CFueGroeListeBasis.h"

std::uint64_t CFueGroeListeBasis::total_length() const noexcept {
  std::uint64_t sum = 0;
  for (const Entry& e : m_entries)
    sum += e.length;
  return sum;
}

double CFueGroeListeBasis::ToSamples(std::span<double> out, double before,
                                     float frameRate) const noexcept {
  double current = before;
  std::size_t frame = 0;
  std::uint64_t at = 0;
  for (const Entry& e : m_entries) {
    at += e.length;
    // An entry takes effect at its own frame; one that ends at or past the block's end only
    // carries the value into the next block.
    const std::size_t until = at < out.size() ? static_cast<std::size_t>(at) : out.size();
    for (; frame < until; ++frame)
      out[frame] = current;
    current = output_value(e.value, frameRate);
  }
  for (; frame < out.size(); ++frame)
    out[frame] = current;
  return current;
}
