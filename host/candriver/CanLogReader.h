#pragma once
// Reads CAN traffic logs frame by frame, whatever their format (CanLogFormat.h tells it from the
// file): candump log files (`candump -L`) and Vector ASC files, read line by line (a line
// starting with "(" as a candump line, any other line as ASC), PEAK TRC files and BLF files.
// Lines and objects that are no frame (headers, comments, statistics, status and
// transport-protocol events) are skipped; a line or object that cannot be read comes back as an
// entry with `error` set, so the caller reports it and goes on with the next one. A BLF file
// whose structure is broken (truncated, a bad zlib stream) ends with such an entry.
//
// The formats, with examples of their lines and objects: CandumpFormat.h, AscFormat.h,
// TrcFormat.h, BlfFormat.h.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/candriver/AscFormat.h"
#include "host/candriver/CanLogEntry.h"
#include "host/candriver/CanLogFormat.h"
#include "host/candriver/LogInput.h"
#include "host/candriver/TrcFormat.h"

namespace XeCanDriverKvaser {

class BlfReader;

class CanLogReader {
 public:
  // Longest line of a text log (LogInput.h): a longer one comes back as an error entry and ends
  // the reading.
  static constexpr std::size_t kMaxLineBytes = LogInput::kMaxLineBytes;

  CanLogReader();
  ~CanLogReader();
  CanLogReader(const CanLogReader&) = delete;
  CanLogReader& operator=(const CanLogReader&) = delete;

  // [any] Opens a log from its start; false when it cannot be read (error() says why).
  bool Open(const std::filesystem::path& file);
  // [any] Reads a log held in memory from its start, as Open does a file named `name` (its
  // extension counts as a file's does; it stands for the file in error texts). The bytes are not
  // copied: they must outlive the reading.
  bool OpenText(std::string_view bytes, std::string name);
  // [any] The next frame or unreadable place; false at the end of the file.
  bool Next(CanLogEntry& entry);
  // [any] Why Open failed ("<file>: cannot open: ...", "<file>: not a BLF file: ...").
  const std::string& error() const noexcept { return m_error; }
  // [any] The format being read (Candump for candump and ASC lines).
  CanLogFormat format() const noexcept { return m_format; }

  // [any] Reads one line without a file (tests, tools), as a line of the format being read
  // (candump or ASC unless a TRC file is open): true for a frame or an error, false for a line
  // that is skipped. `entry.error` then holds "<line>: <reason>".
  bool ReadLine(std::string_view line, CanLogEntry& entry);

 private:
  void Reset(std::string name);
  bool Begin();
  bool ParseLine(std::string_view line, CanLogEntry& entry);

  LogInput m_input;
  CanLogFormat m_format = CanLogFormat::Candump;
  std::unique_ptr<BlfReader> m_blf;
  AscParser m_asc;
  TrcParser m_trc;
  std::string m_name;  // file name for error texts
  std::string m_error;
  std::string m_reason;
  std::vector<std::string_view> m_tokens;
  int m_lineNumber = 0;
};

}  // namespace XeCanDriverKvaser
