#pragma once
// One block of slow-sampling data as the host hands it to a sink: rows of YDims 32-bit values,
// row after row, with the description of its axes. The block does not own its data: it is a view
// of a source plug-in's region of the container, valid during the sink's process call.
//
//   rows 100, YDims 16, Delta 0.001 -> elements 1600, 6400 bytes, 0.1 s of data
#include <cstddef>
#include <cstdint>

#include "host/valuelists/CXChannelDescriptionInterface.h"
#include "host/valuelists/CYChannelDescriptionInterface.h"

class CDescriptionInterface {
 public:
  CDescriptionInterface() = default;
  // data: rows x yDims 32-bit values (not owned).
  CDescriptionInterface(const void* data, CXChannelDescriptionInterface x, std::uint32_t yDims,
                        CYChannelDescriptionInterface y) noexcept
      : m_data(data), m_x(x), m_yDims(yDims), m_y(y) {}

  // [any] The X axis (0 is the only one; any other number gives an empty axis).
  const CXChannelDescriptionInterface& X(int axis = 0) const noexcept {
    static const CXChannelDescriptionInterface none;
    return axis == 0 ? m_x : none;
  }
  // [any] Y channel `channel` (all columns share one description).
  const CYChannelDescriptionInterface& Y(int /*channel*/ = 0) const noexcept { return m_y; }
  // [any] 32-bit values per row.
  std::uint32_t YDims() const noexcept { return m_yDims; }
  // [any] 32-bit values of the block.
  std::size_t elements() const noexcept { return static_cast<std::size_t>(m_x.Len()) * m_yDims; }
  // [any] The raw data, elements() x 4 bytes (not owned).
  const void* data() const noexcept { return m_data; }

 private:
  const void* m_data = nullptr;
  CXChannelDescriptionInterface m_x;
  std::uint32_t m_yDims = 0;
  CYChannelDescriptionInterface m_y;
};
