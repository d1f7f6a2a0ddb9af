// libFuzzer target: any bytes given to the DBC parser give a database whose invariants hold and
// that decodes frames without reading outside them; and an invalid SG_ line inserted where a
// statement begins (or at the end) never changes how the other messages decode.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/cananalysis/DbcParser.h"

using namespace XeCanAnalysis;

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// SG_ lines the parser refuses, one of each kind.
constexpr std::array<const char*, 7> kInvalidSignals = {
    "SG_ Bad : 8|0@1+ (1,0) [0|0] \"\" X\n",     // length 0
    "SG_ Bad : 0|65@1+ (1,0) [0|0] \"\" X\n",    // length 65
    "SG_ Bad : 512|8@1+ (1,0) [0|0] \"\" X\n",   // start bit beyond 511
    "SG_ Bad : 511|8@1+ (1,0) [0|0] \"\" X\n",   // reaches past byte 64
    "SG_ Bad : 504|16@0+ (1,0) [0|0] \"\" X\n",  // the same, Motorola
    "SG_ Bad : 8|8@2+ (1,0) [0|0] \"\" X\n",     // byte order
    "SG_ Bad : 8|8@1+ (1,0) [0|0]\n",            // breaks off: no unit
};

// Every value `db` decodes from `frame`, message by message at every length that matters, as the
// bits of the doubles (NaN included).
std::vector<std::uint64_t> Decoded(const DbcDatabase& db, const std::uint8_t* frame) {
  const DbcFrameDecoder decoder(db);
  std::vector<std::uint64_t> out;
  for (const DbcMessage& m : db.messages) {
    out.push_back(m.CanId());
    for (const int length : {0, m.length / 2, m.length, 64}) {
      const int n = decoder.Decode(m.CanId(), frame, length, [&](std::uint32_t index, double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        out.push_back(index - m.firstSignal);
        out.push_back(bits);
      });
      out.push_back(static_cast<std::uint64_t>(n));
    }
  }
  return out;
}

// A refused SG_ line where a statement begins at the start of a line: the parse of the rest is
// the same. Where a string lacks its closing quote, what belongs to it depends on the quotes of
// every line after it (the line's own included): such texts are left out, and so are indented
// keywords, which a string may run across.
void CheckInsertedInvalidSignal(std::string_view text, const DbcDatabase& db,
                                std::vector<std::size_t> starts, const std::uint8_t* frame) {
  for (const auto& d : db.diagnostics)
    if (d.text == "unterminated string") return;
  std::erase_if(starts, [&](std::size_t at) {
    return at != 0 && text[at - 1] != '\n' && text[at - 1] != '\r' &&
           !(at == 3 && text.substr(0, 3) == "\xEF\xBB\xBF");
  });
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text)
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  const std::size_t choice = hash % (starts.size() + 1);
  std::string changed(text);
  const std::string line = kInvalidSignals[(hash >> 32) % kInvalidSignals.size()];
  if (choice < starts.size()) {
    changed.insert(starts[choice], line);
  } else {
    // At the end: only after a line end, or the last statement would read on into the line.
    if (changed.empty() || (changed.back() != '\n' && changed.back() != '\r')) return;
    changed += line;
  }
  const DbcDatabase other = DbcParser::Parse(changed);
  Check(other.ErrorCount() == db.ErrorCount() + 1);
  Check(other.messages.size() == db.messages.size());
  for (std::size_t i = 0; i < db.messages.size(); ++i) {
    Check(other.messages[i].name == db.messages[i].name);
    Check(other.messages[i].signals.size() == db.messages[i].signals.size());
  }
  Check(Decoded(other, frame) == Decoded(db, frame));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::size_t> starts;
  const DbcDatabase db = DbcParser::Parse(text, &starts);
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
  CheckInsertedInvalidSignal(text, db, starts, frame);
  return 0;
}
