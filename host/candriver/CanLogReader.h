#pragma once
// Reads CAN traffic logs frame by frame: candump log files (`candump -L`) and Vector ASC files.
// A line starting with "(" is read as a candump line, any other line as ASC. Lines that are no
// frame (ASC header, comments, statistics, status and transport-protocol events) are skipped;
// a line that cannot be read comes back as an entry with `error` set, so the caller reports it
// and goes on with the next line.
//
// candump lines: see CandumpFormat.h.
// ASC lines (numbers in hex after "base hex", the default, decimal after "base dec"; times summed
// after "timestamps relative"):
//   3.098426 1  18EBFF00x  Rx d 8 01 A0 0F A6 60 3B D1 40  Length = 273910 -> "1", extended
//                                                            0x18EBFF00, len 8
//   2.584921 4 300 Tx r 8                      -> "4", remote 0x300, len 8, transmitted
//   2.501000 1 ErrorFrame                      -> error frame on "1"
//   30.005071 CANFD 2 Rx 300 Name 1 0 8 8 01 02 03 04 05 06 07 08 -> "2", CAN FD, bit-rate switch,
//                                                                    0x300, len 8
//   1.015991 1 Statistic: D 0 R 0              -> skipped
//   3.297743 1 J1939TP FEE3p 6 0 0 - Rx d 23 ..  -> skipped (a reassembled message, not a frame)
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser {

class CanLogReader {
 public:
  // Longest line read from a file: a longer one (a binary file, /dev/zero's kind of content in a
  // regular file) comes back as an error entry and ends the reading, so memory and time stay
  // bounded whatever the file holds.
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 16;

  CanLogReader() = default;
  CanLogReader(const CanLogReader&) = delete;
  CanLogReader& operator=(const CanLogReader&) = delete;

  // [any] Opens a log from its start; false when it cannot be read (error() says why): only a
  // regular file is read (a FIFO or a device is refused before it is opened).
  bool Open(const std::filesystem::path& file);
  // [any] Reads a log held in memory from its start, as Open does a file; `name` stands for the
  // file in error texts. The text is not copied: it must outlive the reading.
  void OpenText(std::string_view text, std::string name);
  // [any] The next frame or unreadable line; false at the end of the file.
  bool Next(CanLogEntry& entry);
  // [any] Why Open failed ("<file>: cannot open").
  const std::string& error() const noexcept { return m_error; }

  // [any] Reads one line without a file (tests, tools): true for a frame or an error, false for a
  // line that is skipped. `entry.error` then holds "<line>: <reason>".
  bool ReadLine(std::string_view line, CanLogEntry& entry);

 private:
  void Reset(std::string name);
  bool NextLine();
  bool ParseAsc(CanLogEntry& entry);
  bool ParseAscClassic(std::size_t first, CanLogEntry& entry);
  bool ParseAscFd(CanLogEntry& entry);
  bool Fail(CanLogEntry& entry, std::string_view reason);
  bool AscTime(std::string_view token, CanLogEntry& entry);

  std::ifstream m_in;
  std::string_view m_text;  // the log of OpenText, not yet read
  bool m_fromText = false;
  std::string m_name;  // file name for error texts
  std::string m_error;
  std::string m_line;
  std::vector<char> m_buffer;  // a file's line as read, up to kMaxLineBytes
  bool m_tooLong = false;      // the last line read was longer: the reading ends
  std::vector<std::string_view> m_tokens;
  int m_lineNumber = 0;
  int m_ascBase = 16;
  bool m_ascRelative = false;
  std::int64_t m_ascLastNs = 0;
};

}  // namespace XeCanDriverKvaser
