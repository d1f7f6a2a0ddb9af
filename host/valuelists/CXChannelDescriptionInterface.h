#pragma once
// The description of one X axis (the time axis) of a block of slow-sampling data.
#include <cstdint>

class CXChannelDescriptionInterface {
 public:
  CXChannelDescriptionInterface() = default;
  CXChannelDescriptionInterface(double delta, std::uint32_t len) noexcept
      : m_delta(delta), m_len(len) {}
  // [any] Seconds from one row to the next.
  double Delta() const noexcept { return m_delta; }
  // [any] Number of rows.
  std::uint32_t Len() const noexcept { return m_len; }

 private:
  double m_delta = 0.0;
  std::uint32_t m_len = 0;
};
