#pragma once
// The CAN packet: how the source module writes a message into the slow-sampling container and how
// the sink (and canhost's capture) read it back. Its byte offset in the module's region encodes the
// message time: offset / 4 / floats-per-sample is the slow-sample index within the frame.
//
//   byte 0      0x55
//   byte 1      channel (low 8 bits)
//   byte 2      data length (low 8 bits; 0..64)
//   byte 3      0xAA
//   bytes 4-7   identifier, 32-bit little-endian
//   bytes 8..   the first `length` data bytes, then zero bytes up to the next multiple of 4
//
// Examples (hex):
//   ch 0, id 0x123, len 6, 01 02 03 04 05 06 -> 55 00 06 AA 23 01 00 00 01 02 03 04 05 06 00 00
//   ch 1, id 0x18DAF110, len 8               -> 55 01 08 AA 10 F1 DA 18 <8 data bytes>       (16)
//   ch 2, id 0x7FF, len 0                    -> 55 02 00 AA FF 07 00 00                       (8)
//   ch 0, id 0x10, len 64                    -> 72 bytes
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace can {

inline constexpr std::uint8_t kPacketStart = 0x55;
inline constexpr std::uint8_t kPacketEnd = 0xAA;
inline constexpr std::size_t kPacketHeader = 8;
inline constexpr int kMaxPacketData = 64;

// Bytes a packet of that data length occupies: 8 + length rounded up to a multiple of 4.
constexpr std::size_t PacketSize(int length) noexcept {
  const int size = ((length - 1) | 3) + 9;
  return static_cast<std::size_t>(size);
}
static_assert(PacketSize(0) == 8 && PacketSize(1) == 12 && PacketSize(6) == 16 &&
              PacketSize(8) == 16 && PacketSize(64) == 72);

// Writes one packet at dst (which must have PacketSize(length) bytes); returns its size.
inline std::size_t WritePacket(std::uint8_t* dst, int channel, int length, std::uint32_t id,
                               const std::uint8_t* data) noexcept {
  const int n = length < 0 ? 0 : (length > kMaxPacketData ? kMaxPacketData : length);
  const std::size_t size = PacketSize(n);
  dst[0] = kPacketStart;
  dst[1] = static_cast<std::uint8_t>(channel);
  dst[2] = static_cast<std::uint8_t>(length);
  dst[3] = kPacketEnd;
  dst[4] = static_cast<std::uint8_t>(id);
  dst[5] = static_cast<std::uint8_t>(id >> 8);
  dst[6] = static_cast<std::uint8_t>(id >> 16);
  dst[7] = static_cast<std::uint8_t>(id >> 24);
  std::memcpy(dst + kPacketHeader, data, static_cast<std::size_t>(n));
  std::memset(dst + kPacketHeader + n, 0, size - kPacketHeader - static_cast<std::size_t>(n));
  return size;
}

// The in-memory form of one packet, as the sink hands it to a decoder. In the block a packet holds
// only its first 8 + length bytes; `time` is not carried there.
struct CanPacket {
  std::uint8_t start = kPacketStart;  // 0x55
  std::uint8_t bus = 0xFF;            // bus channel; 0xFF until a packet is read
  std::int8_t length = 0;             // data length, 1..64 once read
  std::uint8_t end = kPacketEnd;      // 0xAA
  std::uint32_t id = 0;               // CAN identifier as written (bit 31: extended)
  std::uint8_t data[kMaxPacketData] = {};
  std::uint32_t time = 0;  // not carried in the block: always 0 in the sink
};

// One packet found in a data block.
struct PacketRef {
  std::size_t offset;        // byte offset of the packet from the start of the block
  std::uint8_t channel;      // bus channel
  std::uint8_t length;       // data length
  std::uint32_t id;          // identifier as written
  const std::uint8_t* data;  // `length` data bytes inside the block
};

// How strictly a block is read.
enum class ScanMode {
  // The sink's reading: a header needs a length of 1..64, and at least one byte of the block must
  // follow the packet's data (a packet that ends exactly at the end of the block is not read).
  Sink,
  // Every packet the writer can produce: lengths 0..64, packets may end at the end of the block.
  Complete,
};

// Walks the packets of a block in order: from a 4-byte aligned position, steps in 4-byte units
// until a header is found, reads it, continues behind its data. Allocation-free.
class PacketScanner {
 public:
  PacketScanner(const std::uint8_t* block, std::size_t size, ScanMode mode) noexcept
      : m_block(block), m_size(size), m_mode(mode) {}

  // The next packet, or false at the end of the block.
  bool next(PacketRef& packet) noexcept {
    const int minLength = m_mode == ScanMode::Sink ? 1 : 0;
    for (;;) {
      m_pos = (m_pos + 3) & ~std::size_t{3};
      if (m_pos + kPacketHeader > m_size) return false;
      const std::uint8_t* p = m_block + m_pos;
      if (p[0] != kPacketStart) {
        // Most of a region is empty: the next start byte is found at once, and the word it
        // falls in (or the one after it) is where the search goes on.
        const void* start = std::memchr(p + 1, kPacketStart, m_size - m_pos - 1);
        if (start == nullptr) return false;
        m_pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(start) - m_block);
        continue;
      }
      const int length = p[2];
      if (p[3] != kPacketEnd || length < minLength || length > kMaxPacketData) {
        m_pos += 4;
        continue;
      }
      const std::size_t end = m_pos + kPacketHeader + static_cast<std::size_t>(length);
      if (m_mode == ScanMode::Sink ? end >= m_size : end > m_size) return false;
      packet.offset = m_pos;
      packet.channel = p[1];
      packet.length = static_cast<std::uint8_t>(length);
      packet.id = static_cast<std::uint32_t>(p[4]) | static_cast<std::uint32_t>(p[5]) << 8 |
                  static_cast<std::uint32_t>(p[6]) << 16 | static_cast<std::uint32_t>(p[7]) << 24;
      packet.data = p + kPacketHeader;
      m_pos = end;
      return true;
    }
  }

 private:
  const std::uint8_t* m_block;
  std::size_t m_size;
  ScanMode m_mode;
  std::size_t m_pos = 0;
};

}  // namespace can
