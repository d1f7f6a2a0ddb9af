// libFuzzer target: any text read as a candump or ASC log (or TRC, where the text starts as one)
// gives frames a bus could carry, or an error naming the line, never a crash; and reading stops at
// the end of the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "host/candriver/CanLogReader.h"

using namespace XeCanDriverKvaser;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CanLogReader reader;
  // Bytes starting with "LOGG" are BLF whatever the name: blf_log_fuzz reads those.
  if (!reader.OpenText(text, "fuzz.log") || reader.format() == CanLogFormat::Blf) return 0;
  CanLogEntry entry;
  int lastLine = 0;
  std::size_t entries = 0;
  while (reader.Next(entry)) {
    Check(entry.line > lastLine);
    lastLine = entry.line;
    Check(++entries <= size);  // at most one entry per line, and a line has at least one byte
    if (!entry.error.empty()) {
      Check(entry.error.starts_with("fuzz.log:" + std::to_string(entry.line) + ": "));
      continue;
    }
    const CanMessage& m = entry.message;
    Check(m.length >= 0 && m.length <= 64);
    if (m.flags & kCanFlagErrorFrame) continue;
    Check(m.id <= ((m.flags & kCanFlagExtended) ? kMaxExtendedId : kMaxStandardId));
    if (m.flags & kCanFlagFd) {
      Check(IsFdLength(m.length) && !(m.flags & kCanFlagRemote));
    } else {
      Check(m.length <= 8 && !(m.flags & (kCanFlagBrs | kCanFlagEsi)));
    }
    // Bytes past the length stay zero: consumers may copy the whole array.
    for (int i = (m.flags & kCanFlagRemote) ? 0 : m.length; i < 64; ++i)
      Check(m.data[i] == 0);
  }
  return 0;
}
