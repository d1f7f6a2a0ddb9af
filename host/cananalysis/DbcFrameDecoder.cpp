#include "host/cananalysis/DbcFrameDecoder.h"

#include <algorithm>

namespace XeCanAnalysis {

DbcFrameDecoder::DbcFrameDecoder(const DbcDatabase& database) {
  m_messages.reserve(database.messages.size());
  m_signals.reserve(database.signalCount);
  for (const DbcMessage& message : database.messages)
    AddMessage(message);
  BuildIndex(database);
}

void DbcFrameDecoder::AddMessage(const DbcMessage& message) {
  Message prepared{};
  prepared.signalBegin = static_cast<std::uint32_t>(m_signals.size());
  prepared.signalCount = static_cast<std::uint32_t>(message.signals.size());
  prepared.switchBegin = static_cast<std::uint32_t>(m_switchOrder.size());
  const std::size_t n = message.signals.size();
  std::vector<std::int8_t> slotOf(n, -1);
  std::vector<int> depth(n, 0);
  std::vector<std::uint32_t> switches;
  for (std::size_t i = 0; i < n; ++i) {
    if (!message.signals[i].isSwitch) continue;
    slotOf[i] = static_cast<std::int8_t>(switches.size());
    switches.push_back(static_cast<std::uint32_t>(i));
    for (int p = message.signals[i].muxParent; p >= 0 && depth[i] <= static_cast<int>(n);
         p = message.signals[static_cast<std::size_t>(p)].muxParent)
      ++depth[i];
  }
  for (std::size_t i = 0; i < n; ++i) {
    const DbcSignal& s = message.signals[i];
    AddSignal(s, message.firstSignal + static_cast<std::uint32_t>(i),
              s.muxParent >= 0 ? slotOf[static_cast<std::size_t>(s.muxParent)] : std::int8_t{-1},
              slotOf[i]);
  }
  // Parents before children: a switch is evaluated only after the switch that selects it.
  std::stable_sort(switches.begin(), switches.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return depth[a] < depth[b]; });
  for (std::uint32_t i : switches)
    m_switchOrder.push_back(prepared.signalBegin + i);
  prepared.switchCount = static_cast<std::uint32_t>(switches.size());
  m_messages.push_back(prepared);
}

void DbcFrameDecoder::AddSignal(const DbcSignal& s, std::uint32_t flatIndex, std::int8_t parentSlot,
                                std::int8_t switchSlot) {
  Signal p{};
  p.mask = s.length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << s.length) - 1;
  p.factor = s.factor;
  p.offset = s.offset;
  p.scaled = s.factor != 1.0 || s.offset != 0.0;
  p.flatIndex = flatIndex;
  p.rangeBegin = static_cast<std::uint32_t>(m_ranges.size());
  p.rangeCount = static_cast<std::uint16_t>(std::min<std::size_t>(s.muxRanges.size(), 65535));
  m_ranges.insert(m_ranges.end(), s.muxRanges.begin(), s.muxRanges.begin() + p.rangeCount);
  p.minBytes = static_cast<std::uint8_t>(s.BytesNeeded());
  p.byteIndex = static_cast<std::uint8_t>(s.startBit / 8);
  p.shift = static_cast<std::uint8_t>(s.byteOrder == DbcByteOrder::Intel ? s.startBit % 8
                                                                         : 7 - s.startBit % 8);
  p.length = static_cast<std::uint8_t>(s.length);
  p.order = s.byteOrder;
  p.type = s.valueType;
  p.parentSlot = parentSlot;
  p.switchSlot = switchSlot;
  m_signals.push_back(p);
}

void DbcFrameDecoder::BuildIndex(const DbcDatabase& database) {
  std::size_t capacity = 16;
  unsigned bits = 4;
  while (capacity < 2 * m_messages.size()) {
    capacity *= 2;
    ++bits;
  }
  m_hashShift = 32 - bits;
  m_keys.assign(capacity, kEmpty);
  m_slots.assign(capacity, 0);
  const std::uint32_t mask = static_cast<std::uint32_t>(capacity - 1);
  for (std::size_t mi = 0; mi < database.messages.size(); ++mi) {
    const std::uint32_t key = database.messages[mi].CanId();
    std::uint32_t i = (key * 0x9E3779B1u) >> m_hashShift;
    while (m_keys[i] != kEmpty)
      i = (i + 1) & mask;
    m_keys[i] = key;
    m_slots[i] = static_cast<std::uint32_t>(mi);
  }
}

}  // namespace XeCanAnalysis
