// libFuzzer target: any bytes read as a BLF file give frames a bus could carry, or errors naming
// the file and object, never a crash; reading ends. The frames read are written as BLF again and
// must read back identical (to the nanosecond).
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
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CanLogReader reader;
  if (!reader.OpenText(bytes, "fuzz.blf")) {
    Check(reader.error().starts_with("fuzz.blf: "));
    return 0;
  }
  std::vector<CanLogEntry> frames;
  CanLogEntry entry;
  std::size_t entries = 0;
  while (reader.Next(entry)) {
    Check(++entries <= size / 16);  // an object has a header of 16 bytes at least
    Check(entry.object);
    fuzz::CheckLogEntry(entry, "fuzz.blf");
    if (entry.error.empty()) frames.push_back(entry);
  }
  if (frames.empty()) return 0;

  // The writer starts the file a second before the first frame's second (for dates, else at 0):
  // a frame before that cannot be written, all others can.
  constexpr std::int64_t kSecond = 1'000'000'000;
  constexpr std::int64_t kFirstDate = 631'152'000 * kSecond;
  const std::int64_t start =
      frames.front().timeNs >= kFirstDate ? (frames.front().timeNs / kSecond - 1) * kSecond : 0;
  std::erase_if(frames, [&](const CanLogEntry& f) { return f.timeNs < start; });

  char* written = nullptr;
  std::size_t writtenSize = 0;
  std::FILE* out = open_memstream(&written, &writtenSize);
  const auto writer = CanLogWriter::Create(CanLogFormat::Blf, out, "again.blf");
  for (const CanLogEntry& f : frames)
    Check(writer->Write(f));
  Check(writer->Finish());
  std::fclose(out);
  const std::string again(written, writtenSize);
  std::free(written);
  CanLogReader back;
  Check(back.OpenText(again, "again.blf"));
  std::size_t i = 0;
  for (CanLogEntry b; back.Next(b); ++i)
    Check(b.error.empty() && i < frames.size() && fuzz::SameFrame(frames[i], b));
  Check(i == frames.size());
  return 0;
}
