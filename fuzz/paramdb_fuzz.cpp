// libFuzzer target: a parameter database read from any text has unique signals in ascending
// order, texts that fit their cells, and errors that name their line.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "host/paramdb/ParamDbFile.h"

using fuzz::Check;

namespace {
bool Terminated(const TableType::Text& text) {
  return std::wmemchr(text.data(), L'\0', text.size()) != nullptr;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParamDbContent db = ParamDbFile::Parse(text, "paramdb.txt");
  for (std::size_t i = 0; i < db.signals.size(); ++i) {
    Check(db.signals[i].number >= 0 && Terminated(db.signals[i].name));
    Check(i == 0 || db.signals[i - 1].number < db.signals[i].number);
  }
  for (const AppSignalPropertyRow& p : db.properties)
    Check(p.signal >= 0 && Terminated(p.unitText));
  for (const AuxStringRow& a : db.aux)
    Check(Terminated(a.name));
  for (const std::string& e : db.errors)
    Check(e.starts_with("paramdb.txt:"));
  const AuxStringTable table(db.aux);
  for (const AuxStringRow& a : db.aux)
    Check(table.Find(a.name) != nullptr);
  return 0;
}
