#pragma once
// CanLogWriter of BLF (BlfFormat.h): objects are gathered into containers of 128 KiB, each
// compressed with zlib when full, on Flush or on Finish. The header is written with the first
// container and rewritten by Finish with the counts when the stream can seek.
//
// Start time: for a log whose times are dates (1990 on) the first entry's time to the second
// below, less a second, so that a merged log whose channels are up to a second out of step fits;
// an entry earlier than that cannot be written. For other logs it is all zeros and object times
// are the log's times.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanLogWriter.h"

namespace XeCanDriverKvaser {

class BlfWriter final : public CanLogWriter {
 public:
  // Uncompressed bytes of a container; zlib level: 1 compresses four times as fast as the default
  // 6, to a file about a tenth larger (log_formats_bench).
  static constexpr std::size_t kContainerSize = std::size_t{128} << 10;
  static constexpr int kCompressionLevel = 1;

  BlfWriter(std::FILE* out, std::string name);
  ~BlfWriter() override;

  bool Write(const CanLogEntry& entry) override;
  bool Flush() override;
  bool Finish() override;

 private:
  bool WriteContainer();
  bool WriteHeader();

  struct Deflater;
  std::unique_ptr<Deflater> m_deflater;
  std::vector<std::uint8_t> m_objects;  // the container being filled
  std::vector<std::uint8_t> m_packed;   // its compressed bytes
  bool m_begun = false;                 // the first entry set the start
  bool m_headerWritten = false;
  std::int64_t m_startNs = 0;
  bool m_dated = false;  // the start is a date (else all zeros)
  std::int64_t m_stopNs = 0;
  std::uint64_t m_fileSize = 0;
  std::uint64_t m_uncompressed = 0;
  std::uint32_t m_objectCount = 0;
};

}  // namespace XeCanDriverKvaser
