#pragma once
// The binary logging format (BLF): its layout, and one object read or written here and nowhere
// else (BlfReader and BlfWriter do the file around the objects). Little-endian throughout.
//
// File: a header of 144 bytes, then objects.
//   header: "LOGG" | header size u32 (144) | application u8 x4 | format version u8 x4 |
//           file size u64 | uncompressed size u64 | object count u32 | objects read u32 |
//           start time SYSTEMTIME | stop time SYSTEMTIME | zeros
//   SYSTEMTIME: year, month, day of week, day, hour, minute, second, millisecond (u16 each), UTC
//   object: "LOBJ" | header size u16 | header version u16 | object size u32 (header and body) |
//           type u32 | rest of the header | body, then (object size % 4) bytes of padding
//     header version 1: flags u32 | client u16 | object version u16 | time u64       (32 bytes)
//     header version 2: flags u32 | status u8 | - u8 | object version u16 | time u64 |
//                       original time u64                                             (40 bytes)
//     time: 10 µs units with flags 1, ns with flags 2; from the header's start time, or from 0
//     when the start time is all zeros (a log whose times are not dates).
//   Objects at the top are log containers (type 10): body = compression u16 (0 none, 2 zlib) |
//   6 reserved | uncompressed size u32 | 4 reserved | data. The containers' data, joined, are the
//   frames' objects one after another (an object may continue in the next container, and may be
//   followed by up to 4 bytes of padding).
//
// Frame objects (bodies):
//   CAN_MESSAGE (1), CAN_MESSAGE2 (86, 8 more bytes: frame length, bit count):
//     channel u16 | flags u8 (0x01 Tx, 0x80 remote) | DLC u8 | id u32 (bit 31: extended) | data[8]
//   CAN_FD_MESSAGE (100):
//     channel u16 | flags u8 | DLC u8 | id u32 | frame length u32 | bit count u8 |
//     FD flags u8 (0x01 CAN FD, 0x02 bit-rate switch, 0x04 error state) | valid bytes u8 |
//     5 reserved | data[64]                                  (without 0x01: a classic frame)
//   CAN_FD_MESSAGE_64 (101):
//     channel u8 | DLC u8 | valid bytes u8 | tx count u8 | id u32 | frame length u32 |
//     flags u32 (0x10 remote, 0x1000 CAN FD, 0x2000 bit-rate switch, 0x4000 error state) |
//     bit timings and offsets u32 x4 | bit count u16 | direction u8 (1 Tx) | ext offset u8 |
//     crc u32 | data[valid bytes]
//   CAN_ERROR (2), CAN_ERROR_EXT (73): channel u16 ...; CAN_FD_ERROR_64 (104): channel u8 ...
//     -> an error frame; its details are not kept
//   any other type (statistics, markers, other buses) -> skipped
//
// Read (DecodeBlfObject), bodies in hex:
//   1:   01 00 00 02 23 01 00 00 11 22 00.. -> "1", 0x123, len 2 11 22
//   1:   02 00 81 03 00 F1 FE 98 00..       -> "2", extended 0x18FEF100, remote len 3, transmitted
//   100: 01 00 00 09 10 00 00 00 .. 03 0C ..  -> "1", CAN FD 0x010 with bit-rate switch, len 12
//   100: 01 00 00 08 23 01 00 00 .. 00 08 ..  -> "1", classic 0x123, len 8
//   101: 03 0F 40 .. 23 01 00 00 .. 00 70 00 00 .. -> "3", CAN FD with BRS and ESI, len 64
//   73:  04 00 ..                          -> error frame on "4"
//   1:   01 00 00 10 ..                    -> error "DLC 16 in a classic frame"
//   header time flags 1, time 150, start all zeros -> 0.0015 s
//   start 2024-07-15 08:56:10.123, flags 2, time 5 -> 1721033770.123000005 s
// Written (EncodeBlfObject): header version 1, times in ns; classic frames as CAN_MESSAGE, CAN FD
// frames as CAN_FD_MESSAGE, error frames as CAN_ERROR_EXT (all sizes multiples of 4: no padding).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser::blf {

inline constexpr std::uint32_t kCanMessage = 1;
inline constexpr std::uint32_t kCanError = 2;
inline constexpr std::uint32_t kLogContainer = 10;
inline constexpr std::uint32_t kCanErrorExt = 73;
inline constexpr std::uint32_t kCanMessage2 = 86;
inline constexpr std::uint32_t kCanFdMessage = 100;
inline constexpr std::uint32_t kCanFdMessage64 = 101;
inline constexpr std::uint32_t kCanFdError64 = 104;

inline constexpr std::array<std::uint8_t, 4> kFileSignature = {'L', 'O', 'G', 'G'};
inline constexpr std::array<std::uint8_t, 4> kObjectSignature = {'L', 'O', 'B', 'J'};
inline constexpr std::size_t kFileHeaderSize = 144;
inline constexpr std::size_t kBaseHeaderSize = 16;       // "LOBJ" ... type
inline constexpr std::size_t kContainerHeaderSize = 16;  // compression ... reserved
inline constexpr std::uint16_t kNoCompression = 0;
inline constexpr std::uint16_t kZlib = 2;
// Log times of this or later (1990) are dates: the file's start time is set from them.
inline constexpr std::int64_t kFirstDateNs = 631'152'000'000'000'000;

// [any] Little-endian fields.
std::uint16_t U16(const std::uint8_t* p) noexcept;
std::uint32_t U32(const std::uint8_t* p) noexcept;
std::uint64_t U64(const std::uint8_t* p) noexcept;
void Put16(std::uint8_t* p, std::uint16_t v) noexcept;
void Put32(std::uint8_t* p, std::uint32_t v) noexcept;
void Put64(std::uint8_t* p, std::uint64_t v) noexcept;

// [any] A SYSTEMTIME (16 bytes) as ns since 1970, UTC; nullopt when it is all zeros or no date.
std::optional<std::int64_t> ReadSystemTime(const std::uint8_t* p) noexcept;
// [any] `ns` since 1970 (>= 0) as a SYSTEMTIME, to the millisecond below.
void WriteSystemTime(std::uint8_t* p, std::int64_t ns) noexcept;

// The counts and times of a file header.
struct FileHeader {
  std::uint64_t fileSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint32_t objectCount = 0;
  std::optional<std::int64_t> startNs;  // nullopt: all zeros, times count from 0
  std::optional<std::int64_t> stopNs;
};
// [any] The header of a file (kFileHeaderSize bytes).
void WriteFileHeader(std::span<std::uint8_t, kFileHeaderSize> out,
                     const FileHeader& header) noexcept;

// What DecodeBlfObject made of an object.
enum class ObjectKind : std::uint8_t {
  Frame,    // a CAN frame or error frame: `entry` holds it
  Skipped,  // an object of another kind
  Bad,      // a frame object that cannot be read: `reason` says why
};

// [any] Reads the object `object` (its whole object size; base header checked by the caller) of
// a file whose times count from `startNs`: time, channel and message into `entry`.
ObjectKind DecodeObject(std::span<const std::uint8_t> object, std::int64_t startNs,
                        CanLogEntry& entry, std::string& reason);

// Room EncodeObject needs: the largest object written (CAN_FD_MESSAGE, 116 bytes).
inline constexpr std::size_t kObjectCapacity = 128;
// [any] Writes `message` on `channel`, `offsetNs` after the file's start, as one object; returns
// its size (a multiple of 4).
std::size_t EncodeObject(std::span<std::uint8_t, kObjectCapacity> out, std::uint64_t offsetNs,
                         std::uint16_t channel, const CanMessage& message) noexcept;

}  // namespace XeCanDriverKvaser::blf
