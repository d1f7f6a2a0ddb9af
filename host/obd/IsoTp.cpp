#include "host/obd/IsoTp.h"

#include <algorithm>
#include <array>

namespace XeCanAnalysis {

CanMessage IsoTpFrame(std::uint32_t id, std::span<const std::uint8_t> bytes, std::uint8_t pad) {
  CanMessage m;
  m.id = id;
  m.length = 8;
  std::fill(m.data, m.data + 8, pad);
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 8), m.data);
  return m;
}

CanMessage IsoTpStart(std::uint32_t id, std::span<const std::uint8_t> payload, std::uint8_t pad) {
  std::array<std::uint8_t, 8> b{};
  if (payload.size() <= kIsoTpSingleMax) {
    b[0] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), b.begin() + 1);
    return IsoTpFrame(id, std::span(b.data(), payload.size() + 1), pad);
  }
  const std::size_t length = std::min(payload.size(), kIsoTpMaxLength);
  b[0] = static_cast<std::uint8_t>(0x10 | (length >> 8));
  b[1] = static_cast<std::uint8_t>(length & 0xFF);
  std::copy_n(payload.begin(), kIsoTpFirstData, b.begin() + 2);
  return IsoTpFrame(id, b, pad);
}

CanMessage IsoTpConsecutive(std::uint32_t id, std::span<const std::uint8_t> payload,
                            std::size_t index, std::uint8_t pad) {
  std::array<std::uint8_t, 8> b{};
  b[0] = static_cast<std::uint8_t>(0x20 | (index & 0x0F));
  const std::size_t from = kIsoTpFirstData + (index - 1) * kIsoTpConsecutive;
  const std::size_t n =
      from < payload.size() ? std::min(kIsoTpConsecutive, payload.size() - from) : 0;
  std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(from), n, b.begin() + 1);
  return IsoTpFrame(id, std::span(b.data(), n + 1), pad);
}

CanMessage IsoTpFlowControl(std::uint32_t id, FlowStatus status, std::uint8_t blockSize,
                            std::uint8_t separation, std::uint8_t pad) {
  const std::array<std::uint8_t, 3> b = {
      static_cast<std::uint8_t>(0x30 | static_cast<std::uint8_t>(status)), blockSize, separation};
  return IsoTpFrame(id, b, pad);
}

std::size_t IsoTpConsecutiveCount(std::size_t length) noexcept {
  if (length <= kIsoTpSingleMax) return 0;
  return (length - kIsoTpFirstData + kIsoTpConsecutive - 1) / kIsoTpConsecutive;
}

std::optional<IsoTpKind> IsoTpKindOf(const CanMessage& frame) noexcept {
  if (frame.length < 1) return std::nullopt;
  const int kind = frame.data[0] >> 4;
  if (kind > 3) return std::nullopt;
  return static_cast<IsoTpKind>(kind);
}

std::int64_t SeparationNs(std::uint8_t separation) noexcept {
  if (separation <= 0x7F) return std::int64_t{separation} * 1'000'000;
  if (separation >= 0xF1 && separation <= 0xF9) return std::int64_t{separation - 0xF0} * 100'000;
  return 127'000'000;
}

IsoTpReceiver::Result IsoTpReceiver::Feed(const CanMessage& frame) {
  const auto kind = IsoTpKindOf(frame);
  if (!kind) return Result::Ignored;
  const std::uint8_t* d = frame.data;
  const auto len = static_cast<std::size_t>(frame.length);
  switch (*kind) {
    case IsoTpKind::Single: {
      const std::size_t n = d[0] & 0x0F;
      if (n == 0 || n + 1 > len) return Result::Ignored;
      m_expected = 0;
      m_data.assign(d + 1, d + 1 + n);
      return Result::Complete;
    }
    case IsoTpKind::First: {
      const std::size_t n = (std::size_t{d[0] & 0x0Fu} << 8) | d[1];
      if (n <= kIsoTpSingleMax || len < 8) return Result::Ignored;
      m_expected = n;
      m_nextSeq = 1;
      m_data.assign(d + 2, d + 8);
      return Result::FirstFrame;
    }
    case IsoTpKind::Consecutive: {
      if (m_expected == 0 || (d[0] & 0x0F) != m_nextSeq) return Result::Ignored;
      const std::size_t n =
          std::min(m_expected - m_data.size(), std::min(len - 1, kIsoTpConsecutive));
      m_data.insert(m_data.end(), d + 1, d + 1 + n);
      m_nextSeq = static_cast<std::uint8_t>((m_nextSeq + 1) & 0x0F);
      if (m_data.size() < m_expected) return Result::InProgress;
      m_expected = 0;
      return Result::Complete;
    }
    case IsoTpKind::FlowControl:
      break;
  }
  return Result::Ignored;
}

}  // namespace XeCanAnalysis
