#pragma once
// Writes CAN log entries in one of the formats of CanLogFormat.h onto a stdio stream the caller
// owns (a file, a temporary file that is renamed into place, a FIFO). Writing allocates nothing
// per message. Channel names are mapped as CanLogFormat.h says; entries that are unreadable
// places (`error` set) are not written.
//
// BLF keeps counts and the stop time in its header, written with the first container: Finish
// rewrites it with the final counts when the stream can seek. On a stream that cannot (a FIFO, a
// pipe) the header keeps the counts of the first container; the readers of the format do not
// need them (canhost's, python-can's), and the start time is right from the first container on.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "host/candriver/CanLogEntry.h"
#include "host/candriver/CanLogFormat.h"
#include "host/candriver/TrcFormat.h"

namespace XeCanDriverKvaser {

struct CanLogWriterOptions {
  int trcVersion = kTrcVersion21;  // kTrcVersion11: classic frames of one channel
};

class CanLogWriter {
 public:
  virtual ~CanLogWriter() = default;
  CanLogWriter(const CanLogWriter&) = delete;
  CanLogWriter& operator=(const CanLogWriter&) = delete;

  // [any] A writer of `format` onto `out` (not owned; open for writing until Finish); `name`
  // stands for the file in error texts.
  static std::unique_ptr<CanLogWriter> Create(CanLogFormat format, std::FILE* out, std::string name,
                                              const CanLogWriterOptions& options = {});

  // [processing] Appends one entry. False when it was not written: the stream failed (then every
  // later call fails too) or the format cannot hold the frame (TRC 1.1); error() says why.
  virtual bool Write(const CanLogEntry& entry) = 0;
  // [processing] Hands everything written so far to the stream and flushes it (BLF: ends the
  // container being filled). False when the stream failed.
  virtual bool Flush() = 0;
  // [any] Writes the end of the log (ASC's closing line, BLF's last container and header) and
  // flushes; the stream stays open. False when the stream failed.
  virtual bool Finish() = 0;

  // [any] "<name>: cannot write: <reason>", or why a frame cannot be written.
  const std::string& error() const noexcept { return m_error; }
  // [any] Entries written.
  std::uint64_t written() const noexcept { return m_written; }

 protected:
  CanLogWriter(std::FILE* out, std::string name) noexcept : m_out(out), m_name(std::move(name)) {}
  // Writes bytes to the stream; false (and error() set) once it failed.
  bool Put(const void* data, std::size_t size) noexcept;
  bool FlushStream() noexcept;
  bool Refuse(std::string_view reason);

  std::FILE* m_out;
  std::string m_name;
  std::string m_error;
  std::uint64_t m_written = 0;
  bool m_failed = false;
};

}  // namespace XeCanDriverKvaser
