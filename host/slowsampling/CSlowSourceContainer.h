#pragma once
// The per-frame data of the asynchronous source plug-ins: one float array, in which every plug-in
// has a region of samples per frame x floats per sample floats starting at its data offset. The
// host lays the regions out; a plug-in writes its own region during its update, and the sinks read
// it after all updates of the frame.
#include <cstddef>
#include <span>
#include <vector>

class CSlowSourceContainer {
 public:
  // [ui] A container of `floats` zeroed floats.
  explicit CSlowSourceContainer(std::size_t floats = 0) : m_data(floats, 0.0F) {}

  // [ui] New size in floats, every float zeroed. Invalidates data() and regions.
  void resize(std::size_t floats) { m_data.assign(floats, 0.0F); }
  // [any] Size in floats.
  std::size_t size() const noexcept { return m_data.size(); }
  // [processing] The float array (owned by the container; valid until the next resize).
  float* data() noexcept { return m_data.data(); }
  const float* data() const noexcept { return m_data.data(); }
  // [processing] The region of `floats` floats at `offset` (floats); empty when it does not lie
  // wholly inside the container. Owned by the container.
  std::span<float> region(int offset, std::size_t floats) noexcept;
  std::span<const float> region(int offset, std::size_t floats) const noexcept;
  // [processing] Zeroes every float.
  void clear() noexcept;

 private:
  std::vector<float> m_data;  // the frame's floats
};
