#include "app/CaptureWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "frame/CanPacket.h"
#include "host/candriver/CanId.h"
#include "host/candriver/CandumpFormat.h"

namespace app {
namespace {

constexpr int kMaxClassicLength = 8;
constexpr std::size_t kMaxFdLength = 64;

// The packet as the driver's message: the log format speaks of messages, not packets.
XeCanDriverKvaser::CanMessage MessageOf(const can::PacketRef& packet) noexcept {
  using namespace XeCanDriverKvaser;
  CanMessage message;
  const std::uint32_t flagged = NormaliseFlaggedId(packet.id);
  message.id = IdBits(flagged);
  if (flagged & kCanIdExtended) message.flags |= kCanFlagExtended;
  if (packet.length > kMaxClassicLength) message.flags |= kCanFlagFd;
  const std::size_t length = std::min<std::size_t>(packet.length, kMaxFdLength);
  message.length = static_cast<std::int32_t>(length);
  std::copy_n(packet.data, length, message.data);
  return message;
}

}  // namespace

bool CaptureWriter::Open(const std::filesystem::path& file, std::string& error,
                         const std::function<bool()>& stop, const std::function<void()>& waiting) {
  return m_out.Open(file, error, stop, waiting);
}

std::size_t CaptureWriter::AppendFrame(std::string& out, std::uint64_t frame, double samplePeriod,
                                       unsigned samplesPerFrame, std::span<const float> region,
                                       unsigned floatsPerSample) noexcept {
  if (floatsPerSample == 0) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(region.data());
  can::PacketScanner scanner(bytes, region.size_bytes(), can::ScanMode::Complete);
  const std::size_t bytesPerSample = std::size_t{4} * floatsPerSample;
  const double firstSample = static_cast<double>(frame) * samplesPerFrame;
  std::array<char, XeCanDriverKvaser::kCandumpLineCapacity> line;
  std::array<char, 16> interface = {'c', 'a', 'n'};
  std::size_t count = 0;
  can::PacketRef packet{};
  while (scanner.next(packet)) {
    const std::size_t sampleInFrame = packet.offset / bytesPerSample;
    const double sample = firstSample + static_cast<double>(sampleInFrame);
    const char* nameEnd = std::to_chars(interface.data() + 3, interface.data() + interface.size(),
                                        static_cast<unsigned>(packet.channel))
                              .ptr;
    const auto timeNs = std::llround(sample * samplePeriod * 1e9);
    const std::size_t length = XeCanDriverKvaser::FormatCandump(
        line, timeNs, {interface.data(), nameEnd}, MessageOf(packet));
    // The capacity grows to the largest frame once; appending costs no allocation after that.
    out.append(line.data(), length);
    ++count;
  }
  return count;
}

void CaptureWriter::AddFrame(std::uint64_t frame, std::span<const float> region,
                             unsigned floatsPerSample) noexcept {
  if (!m_out.good()) return;
  m_messages +=
      AppendFrame(m_out.Text(), frame, m_samplePeriod, m_samplesPerFrame, region, floatsPerSample);
  if (!m_out.Text().empty()) m_out.Flush();
}

bool CaptureWriter::Close(std::string& error) {
  return m_out.Close(error);
}

}  // namespace app
