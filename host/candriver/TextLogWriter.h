#pragma once
// CanLogWriter of the text formats: candump (CandumpFormat.h), ASC (AscFormat.h) and TRC
// (TrcFormat.h). One line per entry; ASC and TRC open with their header lines, written with the
// first entry (TRC's start time is the first entry's time to the millisecond below; for a log
// whose times are not dates, before 1990, it is 1 January 1970, so offsets are the log's times).
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/candriver/CanLogWriter.h"

namespace XeCanDriverKvaser {

class TextLogWriter final : public CanLogWriter {
 public:
  TextLogWriter(CanLogFormat format, std::FILE* out, std::string name,
                const CanLogWriterOptions& options) noexcept;

  bool Write(const CanLogEntry& entry) override;
  bool Flush() override { return FlushStream(); }
  bool Finish() override;

 private:
  bool Begin(std::int64_t firstNs);

  CanLogFormat m_format;
  int m_trcVersion;
  bool m_begun = false;
  std::int64_t m_startNs = 0;       // TRC: what the offsets count from
  std::uint32_t m_onlyChannel = 0;  // TRC 1.1: the one channel it holds (0: none yet)
};

}  // namespace XeCanDriverKvaser
