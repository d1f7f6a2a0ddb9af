#pragma once
// A DBC database prepared for decoding frames: each signal carries its byte order, first byte,
// shift, mask, sign and scale, each message its multiplexer tree and the order in which its
// switches are evaluated. Decoding a frame then looks up the identifier in an open-addressing
// table and runs a loop of arithmetic: no allocation, no exception.
//
// Reported per frame: every signal whose bytes the frame carries and that the frame's multiplexer
// values select (non-multiplexed signals always). Values are raw * factor + offset as double,
// never clamped to minimum/maximum; value descriptions are not applied.
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"

namespace XeCanAnalysis {

class DbcFrameDecoder {
 public:
  DbcFrameDecoder() = default;
  // [any] Prepares the database's messages (the database is not referenced afterwards).
  explicit DbcFrameDecoder(const DbcDatabase& database);

  // [any] Decodes one frame: canId in kCanIdExtended form (an identifier above 0x7FF without the
  // flag is taken as extended; an 11-bit one the file has only in the other format is taken in
  // that format), `length` bytes of data (clamped to 0..64). Calls
  // onValue(std::uint32_t flatSignal, double value) for each reported signal, in file order.
  // Returns the number of values reported, or -1 when the identifier is unknown.
  template <class OnValue>
  int Decode(std::uint32_t canId, const std::uint8_t* data, int length,
             OnValue&& onValue) const noexcept;

  std::size_t MessageCount() const noexcept { return m_messages.size(); }
  std::size_t SignalCount() const noexcept { return m_signals.size(); }

 private:
  struct Signal {
    std::uint64_t mask;  // low `length` bits set
    double factor;
    double offset;
    std::uint32_t flatIndex;   // the database's flat signal number
    std::uint32_t rangeBegin;  // into m_ranges
    std::uint16_t rangeCount;
    std::uint8_t minBytes;   // frame bytes needed, 1..64
    std::uint8_t byteIndex;  // first byte read: Intel LSB byte, Motorola MSB byte
    std::uint8_t shift;      // Intel: bit of the LSB in its byte; Motorola: bits above the MSB
    std::uint8_t length;     // 1..64
    DbcByteOrder order;
    DbcValueType type;
    bool scaled;             // factor != 1 or offset != 0
    std::int8_t parentSlot;  // switch slot that selects it, -1: always present
    std::int8_t switchSlot;  // its slot when it is a switch, else -1
  };
  struct Message {
    std::uint32_t signalBegin;
    std::uint32_t signalCount;
    std::uint32_t switchBegin;  // into m_switchOrder: switches, parents before children
    std::uint32_t switchCount;
  };

  // The constructor's steps: the signals, switches and value ranges of one message; then the
  // hash index of every message by identifier.
  void AddMessage(const DbcMessage& message);
  void AddSignal(const DbcSignal& s, std::uint32_t flatIndex, std::int8_t parentSlot,
                 std::int8_t switchSlot);
  void BuildIndex(const DbcDatabase& database);

  static std::uint64_t Raw(const Signal& s, const std::uint8_t* frame) noexcept;
  static double Physical(const Signal& s, std::uint64_t raw) noexcept;
  bool Selected(const Signal& s, const std::int64_t* values, std::uint64_t present) const noexcept;
  const Message* Find(std::uint32_t canId) const noexcept;

  std::vector<Message> m_messages;
  std::vector<Signal> m_signals;
  std::vector<std::uint32_t> m_switchOrder;  // indices into m_signals
  std::vector<DbcMuxRange> m_ranges;
  std::vector<std::uint32_t> m_keys;   // open addressing, kEmpty where free
  std::vector<std::uint32_t> m_slots;  // message index for m_keys
  std::uint32_t m_hashShift = 32;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
};

static_assert(std::endian::native == std::endian::little,
              "the frame loads assume a little-endian host");

inline std::uint64_t DbcFrameDecoder::Raw(const Signal& s, const std::uint8_t* frame) noexcept {
  const std::uint8_t* p = frame + s.byteIndex;
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  if (s.order == DbcByteOrder::Intel) {
    std::uint64_t v = word >> s.shift;
    if (s.shift + s.length > 64) v |= static_cast<std::uint64_t>(p[8]) << (64 - s.shift);
    return v & s.mask;
  }
  word = __builtin_bswap64(word);
  if (s.shift + s.length <= 64) return (word << s.shift) >> (64 - s.length);
  return ((word << s.shift) | (p[8] >> (8 - s.shift))) >> (64 - s.length);
}

inline double DbcFrameDecoder::Physical(const Signal& s, std::uint64_t raw) noexcept {
  double v;
  switch (s.type) {
    case DbcValueType::Unsigned:
      v = static_cast<double>(raw);
      break;
    case DbcValueType::Signed: {
      const unsigned unused = 64u - s.length;
      v = static_cast<double>(static_cast<std::int64_t>(raw << unused) >> unused);
      break;
    }
    case DbcValueType::Float32:
      v = static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(raw)));
      break;
    default:
      v = std::bit_cast<double>(raw);
      break;
  }
  return s.scaled ? v * s.factor + s.offset : v;
}

inline bool DbcFrameDecoder::Selected(const Signal& s, const std::int64_t* values,
                                      std::uint64_t present) const noexcept {
  if (!((present >> s.parentSlot) & 1u)) return false;
  const std::int64_t value = values[s.parentSlot];
  const DbcMuxRange* r = m_ranges.data() + s.rangeBegin;
  for (std::uint16_t i = 0; i < s.rangeCount; ++i)
    if (value >= r[i].low && value <= r[i].high) return true;
  return false;
}

inline const DbcFrameDecoder::Message* DbcFrameDecoder::Find(std::uint32_t canId) const noexcept {
  if (m_keys.empty()) return nullptr;
  canId = NormaliseFlaggedId(canId);
  const std::uint32_t mask = static_cast<std::uint32_t>(m_keys.size() - 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (std::uint32_t i = (canId * 0x9E3779B1u) >> m_hashShift;; i = (i + 1) & mask) {
      if (m_keys[i] == canId) return &m_messages[m_slots[i]];
      if (m_keys[i] == kEmpty) break;
    }
    // Logs write some standard frames with 8-digit (extended) identifiers: an 11-bit identifier
    // the file has only in the other format is taken in that one.
    if ((canId & kMaxExtendedId) > kMaxStandardId) return nullptr;
    canId ^= kCanIdExtended;
  }
  return nullptr;
}

template <class OnValue>
int DbcFrameDecoder::Decode(std::uint32_t canId, const std::uint8_t* data, int length,
                            OnValue&& onValue) const noexcept {
  const Message* m = Find(canId);
  if (!m) return -1;
  length = length < 0 ? 0 : (length > 64 ? 64 : length);
  // Zero padding lets every signal load 8 bytes (9 for the widest) without bounds checks.
  alignas(8) std::uint8_t frame[72];
  std::memcpy(frame, data, static_cast<std::size_t>(length));
  std::memset(frame + length, 0, sizeof frame - static_cast<std::size_t>(length));

  const Signal* signals = m_signals.data() + m->signalBegin;
  int reported = 0;
  if (m->switchCount == 0) {
    for (std::uint32_t i = 0; i < m->signalCount; ++i) {
      const Signal& s = signals[i];
      if (s.minBytes > length) continue;
      onValue(s.flatIndex, Physical(s, Raw(s, frame)));
      ++reported;
    }
    return reported;
  }
  std::int64_t values[kMaxDbcSwitches];
  std::uint64_t present = 0;
  for (std::uint32_t k = 0; k < m->switchCount; ++k) {
    const Signal& s = m_signals[m_switchOrder[m->switchBegin + k]];
    if (s.minBytes > length || (s.parentSlot >= 0 && !Selected(s, values, present))) continue;
    const std::uint64_t raw = Raw(s, frame);
    const unsigned unused = 64u - s.length;
    values[s.switchSlot] = s.type == DbcValueType::Signed
                               ? static_cast<std::int64_t>(raw << unused) >> unused
                               : static_cast<std::int64_t>(raw);
    present |= std::uint64_t{1} << s.switchSlot;
  }
  for (std::uint32_t i = 0; i < m->signalCount; ++i) {
    const Signal& s = signals[i];
    if (s.minBytes > length || (s.parentSlot >= 0 && !Selected(s, values, present))) continue;
    onValue(s.flatIndex, Physical(s, Raw(s, frame)));
    ++reported;
  }
  return reported;
}

}  // namespace XeCanAnalysis
