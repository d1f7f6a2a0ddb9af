// libFuzzer target: whatever bytes a settings file holds, a file the parser accepts is written
// back to a text that reads as exactly the same content (parse -> write -> parse), and a refused
// file names a line and column inside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "host/settings/SeaFile.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  host::SeaContent content;
  host::SeaError error;
  if (!host::SeaFile::Parse(bytes, "fuzz.sea", content, error)) {
    std::size_t lines = 1;
    for (const char c : bytes)
      lines += c == '\n';
    Check(error.line <= lines && !error.what.empty());
    return 0;
  }
  const std::string written = host::SeaFile::Write(content, L"Fuzz \"sea\"\n");
  host::SeaContent again;
  Check(host::SeaFile::Parse(written, "fuzz.sea", again, error));
  Check(again == content);
  Check(host::SeaFile::Write(again, L"Fuzz \"sea\"\n") == written);
  return 0;
}
