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

// Calls visit(timeNs, channel, message) for each packet of a frame's region, in packet order.
template <typename Visit>
std::size_t ForEachMessage(std::uint64_t frame, double samplePeriod, unsigned samplesPerFrame,
                           std::span<const float> region, unsigned floatsPerSample,
                           const Visit& visit) noexcept {
  if (floatsPerSample == 0) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(region.data());
  can::PacketScanner scanner(bytes, region.size_bytes(), can::ScanMode::Complete);
  const std::size_t bytesPerSample = std::size_t{4} * floatsPerSample;
  const double firstSample = static_cast<double>(frame) * samplesPerFrame;
  std::size_t count = 0;
  can::PacketRef packet{};
  while (scanner.next(packet)) {
    const std::size_t sampleInFrame = packet.offset / bytesPerSample;
    const double sample = firstSample + static_cast<double>(sampleInFrame);
    visit(std::llround(sample * samplePeriod * 1e9), packet.channel, MessageOf(packet));
    ++count;
  }
  return count;
}

// "can<channel>" into `name`; returns its length.
std::size_t InterfaceName(std::array<char, 16>& name, unsigned channel) noexcept {
  name[0] = 'c';
  name[1] = 'a';
  name[2] = 'n';
  return static_cast<std::size_t>(
      std::to_chars(name.data() + 3, name.data() + name.size(), channel).ptr - name.data());
}

}  // namespace

bool CaptureWriter::Open(const std::filesystem::path& file, std::string& error,
                         const std::function<bool()>& stop, const std::function<void()>& waiting) {
  using namespace XeCanDriverKvaser;
  if (!m_out.Open(file, error, stop, waiting)) return false;
  std::FILE* stream = m_out.Stream();
  if (stream == nullptr) {
    error = file.string() + ": cannot write: no stream for it";
    return false;
  }
  const CanLogFormat format = FormatOfName(file).value_or(CanLogFormat::Candump);
  m_writer = CanLogWriter::Create(format, stream, file.string());
  m_candump = format == CanLogFormat::Candump;
  // The channel names of a capture are short: assigning them never allocates.
  m_entry.channel.reserve(16);
  return true;
}

std::size_t CaptureWriter::AppendFrame(std::string& out, std::uint64_t frame, double samplePeriod,
                                       unsigned samplesPerFrame, std::span<const float> region,
                                       unsigned floatsPerSample) noexcept {
  std::array<char, XeCanDriverKvaser::kCandumpLineCapacity> line;
  std::array<char, 16> interface;
  return ForEachMessage(
      frame, samplePeriod, samplesPerFrame, region, floatsPerSample,
      [&](std::int64_t timeNs, unsigned channel, const XeCanDriverKvaser::CanMessage& message) {
        const std::size_t length = XeCanDriverKvaser::FormatCandump(
            line, timeNs, {interface.data(), InterfaceName(interface, channel)}, message);
        // The capacity grows to the largest frame once; appending costs no allocation after that.
        out.append(line.data(), length);
      });
}

void CaptureWriter::AddFrame(std::uint64_t frame, std::span<const float> region,
                             unsigned floatsPerSample) noexcept {
  if (!m_out.good() || !m_writer || m_refused) return;
  if (m_candump) {
    // Straight into the frame's text: no stream between, no lock per line.
    m_candumpLines += AppendFrame(m_out.Text(), frame, m_samplePeriod, m_samplesPerFrame, region,
                                  floatsPerSample);
    m_out.Flush();
    return;
  }
  std::array<char, 16> interface;
  ForEachMessage(
      frame, m_samplePeriod, m_samplesPerFrame, region, floatsPerSample,
      [&](std::int64_t timeNs, unsigned channel, const XeCanDriverKvaser::CanMessage& message) {
        if (m_refused) return;
        m_entry.timeNs = timeNs;
        m_entry.channel.assign(interface.data(), InterfaceName(interface, channel));
        m_entry.message = message;
        m_refused = !m_writer->Write(m_entry);
      });
  // The frame goes to the file whole.
  if (!m_refused) m_refused = !m_writer->Flush();
  m_out.Flush();
}

bool CaptureWriter::Close(std::string& error) {
  if (m_writer && m_out.good() && !m_refused) m_refused = !m_writer->Finish();
  const bool closed = m_out.Close(error);
  if (closed && !m_refused) return true;
  if (m_writer && !m_writer->error().empty()) error = m_writer->error();
  return false;
}

}  // namespace app
