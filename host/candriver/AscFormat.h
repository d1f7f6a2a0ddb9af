#pragma once
// The Vector ASC log format: read and written here and nowhere else. Numbers are hex after
// "base hex" (the default) and decimal after "base dec"; times are seconds since the measurement
// start, summed line by line after "timestamps relative".
//
// Read (AscParser::Parse), one line at a time:
//   3.098426 1  18EBFF00x  Rx d 8 01 A0 0F A6 60 3B D1 40  Length = 273910 -> "1", extended
//                                                            0x18EBFF00, len 8
//   2.584921 4 300 Tx r 8                      -> "4", remote 0x300, len 8, transmitted
//   2.501000 1 ErrorFrame                      -> error frame on "1"
//   30.005071 CANFD 2 Rx 300 Name 1 0 8 8 01 02 03 04 05 06 07 08 -> "2", CAN FD, bit-rate switch,
//                                                                    0x300, len 8
//   1.015991 1 Statistic: D 0 R 0              -> skipped
//   3.297743 1 J1939TP FEE3p 6 0 0 - Rx d 23 ..  -> skipped (a reassembled message, not a frame)
//   base dec  timestamps relative              -> skipped; sets how the lines after it read
// Written (FormatAsc), time rounded to microseconds, channel as CanLogFormat.h numbers it:
//   5.0000004 s, 1, 0x123, len 2 11 22       -> "   5.000000 1  123             Rx   d 2 11 22"
//   0.2 s, 2, extended 0x123, len 1 AB       -> "   0.200000 2  123x            Rx   d 1 AB"
//   1.0 s, 1, remote 0x7FF, len 7, transmitted -> "   1.000000 1  7FF             Tx   r 7"
//   3.0 s, 1, error frame                    -> "   3.000000 1  ErrorFrame"
//   1.0 s, 3, FD 0x10, bit-rate switch, esi, len 12 ->
//     "   1.000000 CANFD   3 Rx         10  1 1 9 12 <12 bytes> 0 0 7000 0 0 0 0 0"
//     (duration, bit count, flags: 1000 CAN FD, 2000 bit-rate switch, 4000 error state, then
//     CRC and bit timings)
// A file canhost writes opens with AscHeader() and ends with kAscFooter. Its date lines say
// 1 January 1970: the times are the log's own, so a log with times since 1970 keeps them, and a
// log read back gives the times it was written with.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser {

// Reads ASC lines; keeps what the header lines set for the lines after them.
class AscParser {
 public:
  // [any] Reads the blank-separated tokens of one line into `entry` (time, channel, message; the
  // rest untouched). False for a line that is no frame; true for a frame, or for a line that
  // cannot be read, with `reason` then saying why.
  bool Parse(std::span<const std::string_view> tokens, CanLogEntry& entry, std::string& reason);

 private:
  bool Time(std::string_view token, CanLogEntry& entry);
  bool ParseClassic(std::span<const std::string_view> t, CanLogEntry& entry, std::string& reason);
  bool ParseFd(std::span<const std::string_view> t, CanLogEntry& entry, std::string& reason);

  int m_base = 16;
  bool m_relative = false;
  std::int64_t m_lastNs = 0;
};

// Room FormatAsc needs: 64 data bytes and the longest time.
inline constexpr std::size_t kAscLineCapacity = 512;

// [any] The lines that open an ASC file canhost writes.
std::string_view AscHeader() noexcept;
inline constexpr std::string_view kAscFooter = "End TriggerBlock\n";

// [any] Writes `message` at log time `timeNs` (>= 0) on `channel` as one line ending in '\n';
// returns its length. No allocation.
std::size_t FormatAsc(std::span<char, kAscLineCapacity> line, std::int64_t timeNs,
                      std::uint32_t channel, const CanMessage& message) noexcept;

}  // namespace XeCanDriverKvaser
