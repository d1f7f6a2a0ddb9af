#include "host/slowsampling/CSlowSourceContainer.h"

#include <algorithm>

std::span<float> CSlowSourceContainer::region(int offset, std::size_t floats) noexcept {
  if (offset < 0 || static_cast<std::size_t>(offset) > m_data.size() ||
      floats > m_data.size() - static_cast<std::size_t>(offset)) {
    return {};
  }
  return {m_data.data() + offset, floats};
}

std::span<const float> CSlowSourceContainer::region(int offset, std::size_t floats) const noexcept {
  return const_cast<CSlowSourceContainer*>(this)->region(offset, floats);
}

void CSlowSourceContainer::clear() noexcept {
  std::fill(m_data.begin(), m_data.end(), 0.0F);
}
