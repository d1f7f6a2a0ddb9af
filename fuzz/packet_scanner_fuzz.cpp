// libFuzzer target: the packet scanner reads any block without leaving it, finds packets in order
// on 4-byte boundaries, and gives back exactly the packets the writer put into a block.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/CanPacket.h"
#include "fuzz/FuzzCheck.h"

using fuzz::Check;

namespace {

// Any bytes as a block of the container: every packet found lies inside it.
void ScanRaw(const std::uint8_t* data, std::size_t size, can::ScanMode mode) {
  can::PacketScanner scanner(data, size, mode);
  can::PacketRef packet;
  std::size_t next = 0;
  while (scanner.next(packet)) {
    Check(packet.offset >= next && packet.offset % 4 == 0);
    Check(packet.length <= can::kMaxPacketData);
    Check(mode == can::ScanMode::Complete || packet.length >= 1);
    Check(packet.data == data + packet.offset + can::kPacketHeader);
    next = packet.offset + can::kPacketHeader + packet.length;
    Check(mode == can::ScanMode::Complete ? next <= size : next < size);
  }
}

// The input as a list of messages written back to back: the complete scan finds them all.
void RoundTrip(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> block;
  std::vector<can::PacketRef> written;
  for (std::size_t i = 0; i + 6 <= size;) {
    const int length = data[i] % (can::kMaxPacketData + 1);
    const std::uint32_t id = static_cast<std::uint32_t>(data[i + 2]) |
                             static_cast<std::uint32_t>(data[i + 3]) << 8 |
                             static_cast<std::uint32_t>(data[i + 4]) << 16 |
                             static_cast<std::uint32_t>(data[i + 5]) << 24;
    std::uint8_t payload[can::kMaxPacketData] = {};
    for (int b = 0; b < length && i + 6 + static_cast<std::size_t>(b) < size; ++b)
      payload[b] = data[i + 6 + static_cast<std::size_t>(b)];
    const std::size_t at = block.size();
    block.resize(at + can::PacketSize(length));
    can::WritePacket(block.data() + at, data[i + 1], length, id, payload);
    written.push_back({at, data[i + 1], static_cast<std::uint8_t>(length), id, nullptr});
    i += 6 + static_cast<std::size_t>(length);
  }
  can::PacketScanner scanner(block.data(), block.size(), can::ScanMode::Complete);
  can::PacketRef packet;
  for (const can::PacketRef& w : written) {
    Check(scanner.next(packet));
    Check(packet.offset == w.offset && packet.channel == w.channel && packet.length == w.length &&
          packet.id == w.id);
  }
  Check(!scanner.next(packet));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ScanRaw(data, size, can::ScanMode::Sink);
  ScanRaw(data, size, can::ScanMode::Complete);
  RoundTrip(data, size);
  return 0;
}
