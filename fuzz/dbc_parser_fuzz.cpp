// libFuzzer target: any bytes given to the DBC parser give a database whose invariants hold and
// that decodes frames without reading outside them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/cananalysis/DbcParser.h"

using namespace XeCanAnalysis;

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const DbcDatabase db = DbcParser::Parse(text);
  std::uint32_t flat = 0;
  for (const DbcMessage& m : db.messages) {
    Check(m.firstSignal == flat && m.length >= 0 && m.length <= 64);
    Check(db.FindMessage(m.CanId()) == &m);
    for (const DbcSignal& s : m.signals) {
      Check(s.length >= 1 && s.length <= 64 && s.BytesNeeded() <= 64);
      Check(s.muxParent < static_cast<int>(m.signals.size()));
      Check((s.muxParent < 0) == s.muxRanges.empty());
      if (s.muxParent >= 0) Check(m.signals[static_cast<std::size_t>(s.muxParent)].isSwitch);
    }
    flat += static_cast<std::uint32_t>(m.signals.size());
  }
  Check(flat == db.signalCount);
  for (const auto& d : db.diagnostics)
    Check(d.line >= 1 && d.column >= 1);

  // Decode every message from the input's own bytes, at every length that matters.
  const DbcFrameDecoder decoder(db);
  std::uint8_t frame[64] = {};
  for (std::size_t i = 0; i < sizeof frame && i < size; ++i)
    frame[i] = data[size - 1 - i];
  for (const DbcMessage& m : db.messages)
    for (const int length : {0, m.length / 2, m.length, 64}) {
      const int n = decoder.Decode(m.CanId(), frame, length, [&](std::uint32_t index, double) {
        Check(index >= m.firstSignal && index < m.firstSignal + m.signals.size());
      });
      Check(n >= 0 && n <= static_cast<int>(m.signals.size()));
    }
  return 0;
}
