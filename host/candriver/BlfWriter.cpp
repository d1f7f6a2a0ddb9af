#include "host/candriver/BlfWriter.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "host/candriver/BlfFormat.h"

namespace XeCanDriverKvaser {
namespace {
constexpr std::int64_t kSecondNs = 1'000'000'000;
}  // namespace

struct BlfWriter::Deflater {
  z_stream stream{};
  bool ready = false;
  ~Deflater() {
    if (ready) deflateEnd(&stream);
  }
};

BlfWriter::BlfWriter(std::FILE* out, std::string name)
    : CanLogWriter(out, std::move(name)), m_deflater(std::make_unique<Deflater>()) {
  m_objects.reserve(kContainerSize);
  m_packed.resize(compressBound(kContainerSize));
  m_deflater->ready = deflateInit(&m_deflater->stream, kCompressionLevel) == Z_OK;
}

BlfWriter::~BlfWriter() = default;

bool BlfWriter::Write(const CanLogEntry& entry) {
  if (!entry.error.empty()) return true;
  if (m_failed) return false;
  if (!m_begun) {
    m_begun = true;
    m_dated = entry.timeNs >= blf::kFirstDateNs;
    m_startNs = m_dated ? (entry.timeNs / kSecondNs - 1) * kSecondNs : 0;
  }
  if (entry.timeNs < m_startNs)
    return Refuse("a frame at " + std::to_string(entry.seconds()) +
                  " s is before the file's start time (more than a second before the first)");
  std::array<std::uint8_t, blf::kObjectCapacity> object;
  const std::size_t size =
      blf::EncodeObject(object, static_cast<std::uint64_t>(entry.timeNs - m_startNs),
                        static_cast<std::uint16_t>(ChannelNumber(entry.channel)), entry.message);
  if (m_objects.size() + size > kContainerSize && !WriteContainer()) return false;
  m_objects.insert(m_objects.end(), object.begin(),
                   object.begin() + static_cast<std::ptrdiff_t>(size));
  m_stopNs = std::max(m_stopNs, entry.timeNs);
  ++m_objectCount;
  ++m_written;
  return true;
}

bool BlfWriter::WriteHeader() {
  blf::FileHeader header;
  header.fileSize = m_fileSize;
  header.uncompressedSize = m_uncompressed + blf::kFileHeaderSize;
  header.objectCount = m_objectCount;
  if (m_dated) {
    header.startNs = m_startNs;
    header.stopNs = m_stopNs;
  }
  std::array<std::uint8_t, blf::kFileHeaderSize> bytes;
  blf::WriteFileHeader(bytes, header);
  return Put(bytes.data(), bytes.size());
}

bool BlfWriter::WriteContainer() {
  if (m_objects.empty()) return !m_failed;
  if (!m_headerWritten) {
    m_headerWritten = true;
    if (!WriteHeader()) return false;
    m_fileSize = blf::kFileHeaderSize;
  }
  if (!m_deflater->ready) {
    m_failed = true;
    return Refuse("zlib cannot start");
  }
  z_stream& z = m_deflater->stream;
  deflateReset(&z);
  z.next_in = m_objects.data();
  z.avail_in = static_cast<uInt>(m_objects.size());
  z.next_out = m_packed.data();
  z.avail_out = static_cast<uInt>(m_packed.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
    m_failed = true;
    return Refuse("zlib cannot compress a container");
  }
  const std::size_t packed = m_packed.size() - z.avail_out;
  const std::size_t size = blf::kBaseHeaderSize + blf::kContainerHeaderSize + packed;
  std::array<std::uint8_t, blf::kBaseHeaderSize + blf::kContainerHeaderSize> head{};
  std::copy(blf::kObjectSignature.begin(), blf::kObjectSignature.end(), head.begin());
  blf::Put16(head.data() + 4, blf::kBaseHeaderSize);
  blf::Put16(head.data() + 6, 1);
  blf::Put32(head.data() + 8, static_cast<std::uint32_t>(size));
  blf::Put32(head.data() + 12, blf::kLogContainer);
  blf::Put16(head.data() + 16, blf::kZlib);
  blf::Put32(head.data() + 24, static_cast<std::uint32_t>(m_objects.size()));
  static constexpr std::uint8_t kPadding[4] = {};
  if (!Put(head.data(), head.size()) || !Put(m_packed.data(), packed) || !Put(kPadding, size % 4))
    return false;
  m_fileSize += size + size % 4;
  m_uncompressed += head.size() + m_objects.size();
  m_objects.clear();
  return true;
}

bool BlfWriter::Flush() {
  return WriteContainer() && FlushStream();
}

bool BlfWriter::Finish() {
  if (!m_headerWritten) {
    m_headerWritten = true;
    if (!WriteHeader()) return false;
    m_fileSize = blf::kFileHeaderSize;
  }
  if (!WriteContainer() || !FlushStream()) return false;
  // The counts go into the header where the stream can go back to it.
  const off_t end = ftello(m_out);
  if (end < 0 || fseeko(m_out, 0, SEEK_SET) != 0) {
    std::clearerr(m_out);
    return true;
  }
  if (!WriteHeader()) return false;
  if (fseeko(m_out, end, SEEK_SET) != 0) return Refuse("cannot seek back to the end");
  return FlushStream();
}

}  // namespace XeCanDriverKvaser
