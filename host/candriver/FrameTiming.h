#pragma once
// How long a frame occupies a CAN bus, and which of two frames wins arbitration. The virtual bus
// uses these so that it carries no more than a real bus at the same rates.
//
// Bits on the wire, counted by the rate they are sent at (n: payload bytes, 0 for a remote frame):
//   classic:  H + 8n + 15 (CRC) + stuff(H + 8n + 15) + 13 at the bit rate
//             H = 19 (standard: SOF, 11-bit id, RTR, IDE, r0, DLC) or 39 (extended: SOF, 11-bit
//             base, SRR, IDE, 18-bit extension, RTR, r1, r0, DLC)
//   CAN FD:   A + stuff(A) + 13 at the arbitration rate, and
//             5 + 8n + (stuff(A + 5 + 8n) - stuff(A)) + 4 + C + F at the data rate with BRS
//             (at the arbitration rate without), A = 17 (standard: SOF, id, RRS, IDE, FDF, res,
//             BRS) or 36 (extended), 5 = ESI + DLC, 4 = stuff count, C = 17 (n <= 16) or 21
//             (CRC), F = 6 or 7 fixed stuff bits of the CRC field
//   13 = CRC delimiter, ACK slot, ACK delimiter, 7 bits end of frame, 3 bits intermission.
//   stuff(L) = (L - 1) / 4: the stuff bits a stuffed stretch of L bits can need at most, the
//   usual figure for bus-load planning. Real payloads usually need fewer, so a real bus at the
//   same rates carries at least as much as the virtual one.
// Examples: standard 8 bytes 135 bits (270 µs at 500 kbit/s); extended 8 bytes 160 bits;
// standard 0 bytes 55 bits; CAN FD standard 64 bytes with BRS 34 + 678 bits (407 µs at 500
// kbit/s / 2 Mbit/s).
//
// Without stuff bits (stuffed = false: the fewest bits a frame can have on a real wire; the fixed
// stuff bits of the CAN FD CRC field stay): standard 8 bytes 111 bits (222 µs at 500 kbit/s),
// standard 0 bytes 47 bits. A log whose frames follow closer than that was not recorded from one
// wire as it stands (coarse or equal timestamps), and no region sized for the bus could take it.
#include <cstdint>

#include "host/candriver/CanMessage.h"
#include "host/candriver/CanPort.h"

namespace XeCanDriverKvaser::detail {

struct FrameBits {
  std::int32_t nominal = 0;  // bits at the classic or arbitration rate
  std::int32_t data = 0;     // bits at the CAN FD data rate (0 without BRS)
};

constexpr std::int32_t WorstStuffBits(std::int32_t stuffed) noexcept {
  return stuffed > 0 ? (stuffed - 1) / 4 : 0;
}

// [any] The bits of `m` (already normalised) on the wire: with the most stuff bits it may need,
// or with none.
constexpr FrameBits BitsOnWire(const CanMessage& m, bool stuffed = true) noexcept {
  const auto stuff = [stuffed](std::int32_t bits) { return stuffed ? WorstStuffBits(bits) : 0; };
  const bool extended = (m.flags & kCanFlagExtended) != 0;
  const std::int32_t payload = (m.flags & kCanFlagRemote) ? 0 : 8 * m.length;
  if (!(m.flags & kCanFlagFd)) {
    const std::int32_t bits = (extended ? 39 : 19) + payload + 15;
    return {bits + stuff(bits) + 13, 0};
  }
  const std::int32_t arbitration = extended ? 36 : 17;
  const std::int32_t arbitrationStuff = stuff(arbitration);
  const std::int32_t dataStuff = stuff(arbitration + 5 + payload) - arbitrationStuff;
  const std::int32_t crc = m.length > 16 ? 21 + 7 : 17 + 6;
  const std::int32_t dataPhase = 5 + payload + dataStuff + 4 + crc;
  const std::int32_t nominal = arbitration + arbitrationStuff + 13;
  if (m.flags & kCanFlagBrs) return {nominal, dataPhase};
  return {nominal + dataPhase, 0};
}

// [any] Nanoseconds `m` occupies a bus with `params` (rounded up), with the most stuff bits or
// none (BitsOnWire); 0 for rates that are not set.
constexpr std::int64_t FrameDurationNs(const CanMessage& m, const BusParams& params,
                                       bool stuffed = true) noexcept {
  const std::int32_t nominalRate = params.fd ? params.arbitration : params.bitrate;
  const std::int32_t dataRate = params.fd ? params.data : 0;
  const FrameBits bits = BitsOnWire(m, stuffed);
  if (nominalRate <= 0 || (bits.data > 0 && dataRate <= 0)) return 0;
  // Picoseconds per bit keep the sum exact enough for every rate an int32 can hold.
  std::int64_t ps = bits.nominal * (1'000'000'000'000 / nominalRate);
  if (bits.data > 0) ps += bits.data * (1'000'000'000'000 / dataRate);
  return (ps + 999) / 1000;
}

// [any] The shortest time any frame occupies a bus with `params`: a frame without payload and
// without stuff bits, classic or (on a CAN FD bus) CAN FD with bit-rate switch. 0 for rates that
// are not set. The most frames a second the bus can carry is 1 s divided by this.
constexpr std::int64_t ShortestFrameNs(const BusParams& params) noexcept {
  CanMessage empty;
  empty.length = 0;
  std::int64_t shortest = FrameDurationNs(empty, params, false);
  if (params.fd) {
    empty.flags = kCanFlagFd | kCanFlagBrs;
    const std::int64_t fd = FrameDurationNs(empty, params, false);
    if (fd > 0 && fd < shortest) shortest = fd;
  }
  return shortest;
}

static_assert(ShortestFrameNs(BusParams{false, 1'000'000, 0, 0}) == 47'000);
// 30 bits at 1 Mbit/s and 32 at 8 Mbit/s: shorter than a classic frame at the arbitration rate.
static_assert(ShortestFrameNs(BusParams{true, 0, 1'000'000, 8'000'000}) == 34'000);

// [any] The arbitration priority of `m`: lower wins. The bits in the order they go on the bus,
// dominant 0: 11-bit base identifier, RTR (standard) or SRR (extended, recessive), IDE, the 18
// extension bits, RTR (extended). So a standard frame beats an extended one with the same base,
// and a data frame beats a remote request with the same identifier.
constexpr std::uint32_t ArbitrationKey(const CanMessage& m) noexcept {
  const bool remote = (m.flags & kCanFlagRemote) != 0;
  if (!(m.flags & kCanFlagExtended)) return (m.id & 0x7FFu) << 21 | (remote ? 1u : 0u) << 20;
  const std::uint32_t base = (m.id >> 18) & 0x7FFu;
  const std::uint32_t extension = m.id & 0x3FFFFu;
  return base << 21 | 1u << 20 | 1u << 19 | extension << 1 | (remote ? 1u : 0u);
}

}  // namespace XeCanDriverKvaser::detail
