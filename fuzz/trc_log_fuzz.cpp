// libFuzzer target: any text read as a TRC file gives frames a bus could carry, or errors naming
// the file and line, never a crash; reading ends at the end of the text. The frames read are
// written as TRC 2.1 again and must read back identical (times to the microsecond).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzLogEntry.h"
#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanLogWriter.h"

using namespace XeCanDriverKvaser;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CanLogReader reader;
  // Text starting with "LOGG" is BLF whatever its name: only a BLF header can be refused here,
  // and what a readable one holds is blf_log_fuzz's to check.
  if (!reader.OpenText(text, "fuzz.trc")) {
    Check(reader.format() == CanLogFormat::Blf && reader.error().starts_with("fuzz.trc: "));
    return 0;
  }
  if (reader.format() == CanLogFormat::Blf) return 0;
  std::vector<CanLogEntry> frames;
  CanLogEntry entry;
  int lastLine = 0;
  while (reader.Next(entry)) {
    Check(entry.line > lastLine && !entry.object);
    lastLine = entry.line;
    fuzz::CheckLogEntry(entry, "fuzz.trc");
    if (!entry.error.empty()) {
      Check(entry.error.starts_with("fuzz.trc:" + std::to_string(entry.line) + ": "));
      continue;
    }
    // Written channels are numbers: a bus reads back as itself.
    frames.push_back(entry);
  }
  if (frames.empty()) return 0;

  char* written = nullptr;
  std::size_t writtenSize = 0;
  std::FILE* out = open_memstream(&written, &writtenSize);
  const auto writer = CanLogWriter::Create(CanLogFormat::Trc, out, "again.trc");
  for (const CanLogEntry& f : frames)
    Check(writer->Write(f));
  Check(writer->Finish());
  std::fclose(out);
  const std::string again(written, writtenSize);
  std::free(written);
  CanLogReader back;
  Check(back.OpenText(again, "again.trc"));
  std::size_t i = 0;
  for (CanLogEntry b; back.Next(b); ++i) {
    Check(b.error.empty() && i < frames.size());
    // Offsets are written to the microsecond from a start on a millisecond: the time comes back
    // rounded to the microsecond.
    CanLogEntry want = frames[i];
    want.timeNs = (want.timeNs + 500) / 1000 * 1000;
    Check(fuzz::SameFrame(want, b));
  }
  Check(i == frames.size());
  return 0;
}
