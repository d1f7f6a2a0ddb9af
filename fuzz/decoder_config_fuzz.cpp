// libFuzzer target: a decoder configuration read from any text is written back to a text that
// reads as the same configuration, without errors; every error names its line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "host/cananalysis/DbcDecoderConfig.h"

using namespace XeCanAnalysis;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> errors;
  const DbcDecoderConfig config = DbcDecoderConfig::Parse(text, "fuzz.txt", errors);
  for (const std::string& e : errors)
    Check(e.starts_with("fuzz.txt:"));
  for (const auto& [key, number] : config.assignments) {
    Check(number >= -1 && !key.signal.empty());
    Check((key.canId & ~kCanIdExtended) <= ((key.canId & kCanIdExtended) ? 0x1FFFFFFFu : 0x7FFu));
  }

  std::vector<std::string> again;
  const DbcDecoderConfig read = DbcDecoderConfig::Parse(config.Format(L"fuzz"), "fuzz.txt", again);
  Check(again.empty());
  Check(read.dbcFile == config.dbcFile && read.assignments == config.assignments &&
        read.allSignals == config.allSignals);
  return 0;
}
