#include "app/CaptureWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frame/CanPacket.h"
#include "host/settings/FileIO.h"

namespace app {
namespace {

constexpr std::uint32_t kExtendedFlag = 0x80000000u;
constexpr std::uint32_t kExtendedMask = 0x1FFFFFFFu;
constexpr std::uint32_t kMaxStandardId = 0x7FFu;
constexpr int kMaxClassicLength = 8;

// One candump line of a packet at `seconds` into `line`, which holds 256 bytes (enough for 64 data
// bytes); returns its length.
std::size_t FormatLine(char* line, double seconds, const can::PacketRef& packet) noexcept {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool extended = (packet.id & kExtendedFlag) != 0 || packet.id > kMaxStandardId;
  const std::uint32_t id = packet.id & (extended ? kExtendedMask : kMaxStandardId);
  int n = std::snprintf(line, 64, extended ? "(%.6f) can%u %08X#" : "(%.6f) can%u %03X#", seconds,
                        static_cast<unsigned>(packet.channel), static_cast<unsigned>(id));
  if (n < 0) return 0;
  auto pos = static_cast<std::size_t>(n);
  if (packet.length > kMaxClassicLength) {
    line[pos++] = '#';
    line[pos++] = '0';
  }
  for (std::size_t i = 0; i < packet.length; ++i) {
    line[pos++] = kHex[packet.data[i] >> 4];
    line[pos++] = kHex[packet.data[i] & 0x0F];
  }
  line[pos++] = '\n';
  return pos;
}

}  // namespace

CaptureWriter::~CaptureWriter() {
  if (m_out == nullptr) return;
  std::fclose(m_out);
  std::error_code ec;
  std::filesystem::remove(m_temp, ec);
}

bool CaptureWriter::Open(const std::filesystem::path& file, std::string& error) {
  m_file = file;
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = file.string() + ": is a folder, not a file";
    return false;
  }
  FileIO::RemoveStaleTemporaries(file, "tmp");
  m_temp = FileIO::TemporaryName(file, "tmp");
  m_out = std::fopen(m_temp.c_str(), "wb");
  if (m_out == nullptr) {
    error = file.string() + ": cannot write: " + std::strerror(errno);
    return false;
  }
  m_text.reserve(1 << 16);
  return true;
}

std::size_t CaptureWriter::AppendFrame(std::string& out, std::uint64_t frame, double samplePeriod,
                                       unsigned samplesPerFrame, std::span<const float> region,
                                       unsigned floatsPerSample) noexcept {
  if (floatsPerSample == 0) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(region.data());
  can::PacketScanner scanner(bytes, region.size_bytes(), can::ScanMode::Complete);
  const std::size_t bytesPerSample = std::size_t{4} * floatsPerSample;
  const double firstSample = static_cast<double>(frame) * samplesPerFrame;
  char line[256];
  std::size_t count = 0;
  can::PacketRef packet{};
  while (scanner.next(packet)) {
    const double sample = firstSample + static_cast<double>(packet.offset / bytesPerSample);
    const std::size_t length = FormatLine(line, sample * samplePeriod, packet);
    // The capacity grows to the largest frame once; appending costs no allocation after that.
    out.append(line, length);
    ++count;
  }
  return count;
}

void CaptureWriter::AddFrame(std::uint64_t frame, std::span<const float> region,
                             unsigned floatsPerSample) noexcept {
  if (m_out == nullptr || m_failed) return;
  m_text.clear();
  m_messages +=
      AppendFrame(m_text, frame, m_samplePeriod, m_samplesPerFrame, region, floatsPerSample);
  if (!m_text.empty() && std::fwrite(m_text.data(), 1, m_text.size(), m_out) != m_text.size())
    m_failed = true;
}

bool CaptureWriter::Close(std::string& error) {
  if (m_out == nullptr) return true;
  bool ok = !m_failed && std::fflush(m_out) == 0 && ::fsync(::fileno(m_out)) == 0;
  const int writeError = errno;
  ok = std::fclose(m_out) == 0 && ok;
  m_out = nullptr;
  std::error_code ec;
  if (ok) std::filesystem::rename(m_temp, m_file, ec);
  if (ok && !ec) return true;
  error = m_file.string() +
          ": cannot write: " + (ec ? ec.message() : std::string(std::strerror(writeError)));
  std::filesystem::remove(m_temp, ec);
  return false;
}

}  // namespace app
