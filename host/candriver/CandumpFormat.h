#pragma once
// The candump log format (`candump -L`): read and written here and nowhere else. One frame a line,
// "(<seconds>) <interface> <frame> [T|R]"; the identifier has 3 hex digits standard, 8 extended.
//
// Read (ParseCandump):
//   (1436509052.249713) can0 123#DEADBEEF -> 1436509052.249713 s, "can0", 0x123, len 4 DE AD BE EF
//   (0.5) vcan0 00000343#15.05.0E.05      -> extended 0x343, len 4 15 05 0E 05
//   (1.0) can1 123#R                      -> remote 0x123, len 0
//   (1.0) can1 123#R7                     -> remote 0x123, len 7
//   (2.0) can0 123##1AABB                 -> CAN FD with bit-rate switch, len 2 AA BB
//   (2.0) can0 7FF#112233 T               -> len 3, kCanFlagTransmitted (direction T or R)
//   (3.0) can0 20000080#0000000000000000  -> error frame (identifier bit 29)
//   (3.0) can0 ERROR                      -> error frame
//   (4.0) can0 064#F001FFFFFFFFFFFFFFFF   -> error "10 data bytes in a classic CAN frame"
//   (4.0) can0 12#00                      -> error "identifier '12' needs 3 or 8 hex digits"
// Written (FormatCandump), time rounded to microseconds:
//   5.0000004 s, "can0", 0x123, len 2 11 22           -> (5.000000) can0 123#1122
//   0.2 s, "can1", extended 0x123, len 1 AB          -> (0.200000) can1 00000123#AB
//   1.0 s, "can0", FD 0x010, bit-rate switch, len 12 -> (1.000000) can0 010##1<24 hex digits>
//   1.0 s, "can1", remote 0x123, len 7, transmitted  -> (1.000000) can1 123#R7 T
//   3.0 s, "can0", error frame                       -> (3.000000) can0 20000000#
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser {

// Room FormatCandump needs: 64 data bytes, the longest time and an interface name of up to 64
// characters (a longer one is cut).
inline constexpr std::size_t kCandumpLineCapacity = 256;

// [any] Reads the blank-separated tokens of one candump line into `entry` (time, channel,
// message). Empty on success, else why the line cannot be read.
std::string ParseCandump(std::span<const std::string_view> tokens, CanLogEntry& entry);

// [any] The common line, read in one pass without splitting it: "(<seconds>[.<digits>]) <interface>
// <3 or 8 hex digits>#<up to 8 bytes as hex pairs>", single blanks. True with time, channel and
// message set in `entry` exactly as ParseCandump sets them; false, `entry` untouched, for any other
// line, which ParseCandump then reads (and explains when it is wrong):
//   (1436509052.249713) can0 123#DEADBEEF -> true
//   (0.5) vcan0 00000343#                 -> true: extended 0x343, len 0
//   (1.0) can1 123#R                      -> false (remote)
//   (2.0) can0 123##1AABB                 -> false (CAN FD)
//   (2.0) can0 7FF#112233 T               -> false (direction)
//   (1.0)  can0 123#11                    -> false (two blanks)
//   (4.0) can0 12#00                      -> false (an error for ParseCandump)
bool ParsePlainCandump(std::string_view line, CanLogEntry& entry) noexcept;

// [any] Writes `message` at log time `timeNs` (>= 0) on `interface` as one line ending in '\n';
// returns its length. No allocation, for a capture written while frames run.
std::size_t FormatCandump(std::span<char, kCandumpLineCapacity> line, std::int64_t timeNs,
                          std::string_view interface, const CanMessage& message) noexcept;

}  // namespace XeCanDriverKvaser
