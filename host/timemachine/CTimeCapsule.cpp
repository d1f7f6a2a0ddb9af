#include "host/timemachine/CTimeCapsule.h"

namespace {
std::int64_t Shifted(std::int64_t value, std::int32_t shift) noexcept {
  if (shift >= 0) return value * (std::int64_t{1} << shift);
  return value >> -shift;  // arithmetic: rounds toward minus infinity for earlier stamps too
}
}  // namespace

CTimeCapsule::CTimeCapsule(std::uint32_t bits, std::int32_t shift)
    : m_bits(bits < 1 ? 1 : (bits > 62 ? 62 : bits)),
      m_shift(shift),
      m_wrap(Shifted(std::int64_t{1} << m_bits, shift)),
      m_mask((std::int64_t{1} << m_bits) - 1),
      m_counterMask(Shifted(m_mask, shift)) {}

std::int64_t CTimeCapsule::scaled(std::int64_t rawDistance) const noexcept {
  return Shifted(rawDistance, m_shift);
}

void CTimeCapsule::raw_update(std::int64_t raw) {
  const std::int64_t m = raw & m_mask;
  m_counter = (m_counter & ~m_counterMask) | Shifted(m, m_shift);
  if (m < m_last) m_counter += m_wrap;
  m_last = m;
  if (m_updateCallback) m_updateCallback();
}

bool CTimeCapsule::update() {
  if (m_rawTime) {
    raw_update(m_rawTime());
    return true;
  }
  if (m_master != nullptr) {
    m_counter = m_master->m_counter;
    m_last = m_master->m_last;
    raw_update(m_last);
    return true;
  }
  return false;
}

void CTimeCapsule::reset() {
  m_counter = 0;
  m_last = 0;
  m_offset = 0;
  m_syncFraction = 0;
  m_syncRate = 0;
  m_delay = 0;
  if (m_resetCallback) m_resetCallback();
}

std::int64_t CTimeCapsule::delta(std::int64_t stamp) const noexcept {
  const std::int64_t m = stamp & m_mask;
  const std::int64_t half = (m_mask + 1) / 2;
  std::int64_t d;
  if (m > m_last) {
    d = m > m_last + half ? m - (m_mask + 1) - m_last : m - m_last;
  } else {
    d = m > m_last - half ? m - m_last : (m_mask + 1) - m_last + m;
  }
  return Shifted(d, m_shift);
}
