#pragma once
// The PEAK TRC log format, versions 1.0 to 2.1: read and written here and nowhere else. Lines
// starting with ";" are comments, except the header lines ";$FILEVERSION=2.1",
// ";$STARTTIME=<days since 30 Dec 1899, with the fraction of the day>" and, from 2.1,
// ";$COLUMNS=N,O,T,B,I,d,R,L,D" (the columns of the data lines, in order: N number, O offset in
// ms from the start time, T type, B bus, I identifier in hex (more than 4 digits: extended),
// d direction, R reserved, L data length code, l data length in bytes, D data bytes). A file
// without version line is version 1.0. The log time of a frame is the start time (since 1970, a
// start before 1970 counts as 0) plus its offset.
//
// Read (TrcParser::Parse), one line at a time:
//   ;$FILEVERSION=1.1                                  -> sets the columns N) O T I L D
//   ;$STARTTIME=25569.5                                -> start 1 January 1970, 12:00
//        1)      1841.0  Rx         0001  8  00 11 22 33 44 55 66 77
//                                   -> 43201.841 s, "1", 0x001, len 8 00..77
//        2)      1842.3  Tx     18EFC034  2  01 02  -> extended 0x18EFC034, len 2, transmitted
//        3)      1843.0  Rx         0100  3  RTR    -> remote 0x100, len 3
//        4)      1843.0  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY  -> skipped (a bus warning)
//   ;$FILEVERSION=2.1   ;$COLUMNS=N,O,T,B,I,d,R,L,D
//         1      1059.900 DT  2     0300 Rx -  8    00 00 00 00 04 00 00 00 -> "2", 0x300, len 8
//         2      1298.987 FB  1     0400 Rx -  9    <12 bytes> -> CAN FD, bit-rate switch, len 12
//         3      1300.000 BI  1 18EFC034 Tx -  15   <64 bytes> -> FD, BRS and ESI, len 64
//         4      1355.001 RR  1     0500 Rx -  2   -> remote 0x500, len 2
//         5      1400.000 ER  1          Rx -  0   -> error frame on "1"
//         6      1400.500 ST  1          Rx -  4    00 00 00 08 -> skipped (a status change)
//         7      1401.000 DT  1     0300 Rx -  9    ... -> error "DLC 9 in a classic frame"
// Written (FormatTrc), offsets rounded to microseconds, CR LF line ends; version 2.1 (FD frames
// FD, FB, FE, BI by their bit-rate switch and error state) or 1.1 (classic frames of one channel):
//   2.1: number 1, 1.2345675 s after the start, 1, 0x123, len 2 11 22
//     -> "      1      1234.568 DT  1     0123 Rx -  2    11 22"
//   2.1: number 2, 3 s, 2, extended 0x18EFC034, remote, len 3, transmitted
//     -> "      2      3000.000 RR  2 18EFC034 Tx -  3"
//   2.1: number 3, 4 s, 1, error frame -> "      3      4000.000 ER  1          Rx -  0"
//   1.1: number 4, 5 s, 0x7FF, len 1 AB -> "     4)      5000.000  Rx         07FF  1  AB"
//   1.1: number 5, 6 s, remote 0x100, len 3 -> "     5)      6000.000  Rx         0100  3  RTR"
// FormatTrcHeader writes the version, start time and (2.1) column lines and a few comments.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser {

// Reads TRC lines; keeps what the header lines set for the lines after them.
class TrcParser {
 public:
  // [any] Reads the blank-separated tokens of one line into `entry` (time, channel, message; the
  // rest untouched). False for a line that is no frame (comment, header, status); true for a
  // frame, or for a line that cannot be read, with `reason` then saying why.
  bool Parse(std::span<const std::string_view> tokens, CanLogEntry& entry, std::string& reason);
  // [any] The version the file declared, times ten (10 without a version line).
  int version() const noexcept { return m_version; }

 private:
  bool Header(std::string_view token, std::string& reason);
  void SetVersion(int version) noexcept;
  bool SetColumns(std::string_view letters, std::string& reason);

  int m_version = 10;
  std::array<char, 16> m_columns{};  // column letters of a data line, D last
  std::size_t m_columnCount = 0;
  std::int64_t m_startNs = 0;
  bool m_started = false;  // a version was set (the columns are known)
};

// TRC versions canhost writes, times ten.
inline constexpr int kTrcVersion11 = 11;
inline constexpr int kTrcVersion21 = 21;

// Room FormatTrc and FormatTrcHeader need.
inline constexpr std::size_t kTrcLineCapacity = 384;
inline constexpr std::size_t kTrcHeaderCapacity = 1024;

// [any] Why a TRC file of `version` cannot hold `message`; empty when it can. Version 1.1 holds no
// CAN FD and no error frames.
std::string_view TrcCannotHold(int version, const CanMessage& message) noexcept;

// [any] The header lines of a TRC file of `version` whose offsets count from `startNs` (>= 0, ns
// since 1970); returns their length.
std::size_t FormatTrcHeader(std::span<char, kTrcHeaderCapacity> text, int version,
                            std::int64_t startNs) noexcept;

// [any] Writes `message` as line `number` of a TRC file of `version`, `offsetNs` after its start,
// on `channel` (2.1), ending in CR LF; returns its length. No allocation.
std::size_t FormatTrc(std::span<char, kTrcLineCapacity> line, int version, std::uint64_t number,
                      std::int64_t offsetNs, std::uint32_t channel,
                      const CanMessage& message) noexcept;

}  // namespace XeCanDriverKvaser
