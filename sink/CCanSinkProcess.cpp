// CCanSink: one block of a source's data -> decoded values in the signals' value lists.
#include <cstddef>
#include <cstring>
#include <limits>

#include "frame/CanBusSource.h"
#include "host/mfc/Win.h"
#include "host/paramdb/CPqParamInstance.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/valuelists/CDzPulsListe.h"
#include "host/valuelists/CFueGroeHopListe.h"
#include "sink/CCanSink.h"

namespace {

// The channel coding under which the source module declares its CAN packets.
constexpr int kPacketCoding = 8;

// The value lists' single precision: a value beyond its range becomes an infinity of its sign.
float ToSingle(double value) noexcept {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// Copies a packet's header and data into `packet`. A copy of fixed size is a few vector moves; one
// of the packet's own size compiles to `rep movs`, whose start-up alone cost more than decoding a
// short frame. The bytes copied beyond the data are never read: a decoder reads `length` bytes.
void CopyPacket(can::CanPacket& packet, const std::uint8_t* block, std::size_t size,
                const can::PacketRef& ref) noexcept {
  constexpr std::size_t kWhole = can::kPacketHeader + can::kMaxPacketData;
  static_assert(offsetof(can::CanPacket, data) + can::kMaxPacketData == kWhole);
  void* const to = &packet;  // the packet's `time` stays as it is
  if (ref.offset + kWhole <= size)
    std::memcpy(to, block + ref.offset, kWhole);
  else
    std::memcpy(to, block + ref.offset, can::kPacketHeader + ref.length);
}

}  // namespace

int CCanSink::source_channel(int sourceId) const {
  for (SlowSampling::CAsyncSource* source : m_sources) {
    if (source->id() != sourceId) continue;
    const auto* can = dynamic_cast<const CanBusSource*>(source);
    return can != nullptr ? can->bus_channel() : -1;
  }
  return -1;
}

void CCanSink::process(const CDescriptionInterface& block, int sourceId) {
  m_frameRate = static_cast<float>(1.0 / block.X(0).Delta());
  bool attached = false;
  for (SlowSampling::CAsyncSource* source : m_sources)
    attached = attached || source->id() == sourceId;
  if (!attached) return;
  const auto entry = m_sourceTable.find(sourceId);
  if (entry == m_sourceTable.end()) {
    m_current = nullptr;
    return;
  }
  m_current = &entry->second;
  const std::uint32_t yDims = block.YDims();
  if (yDims == 0 || block.Y(0).ChannelCoding() != kPacketCoding) return;
  for (auto& [number, state] : m_current->states) {
    state.list->clear();
    state.lastFrame = -1;
  }
  m_current->values.clear();

  const int channel = source_channel(sourceId);
  const auto decoder = m_decoding.find(channel);
  CCanDecoder* const dec = decoder == m_decoding.end() ? nullptr : decoder->second;
  m_packet = can::CanPacket{};
  const auto* bytes = static_cast<const std::uint8_t*>(block.data());
  const std::size_t size = std::size_t{block.elements()} * 4;
  can::PacketScanner scanner(bytes, size, can::ScanMode::Sink);
  can::PacketRef ref;
  while (scanner.next(ref)) {
    if (channel < 0 || ref.channel != static_cast<unsigned>(channel) || dec == nullptr) continue;
    CopyPacket(m_packet, bytes, size, ref);
    const auto frame = static_cast<unsigned>(ref.offset / 4 / yDims);
    ++m_decoded;
    m_packetTick.reset();
    dec->Decode(m_packet, frame);
    if (static_cast<unsigned>(m_logLevel) > 1)
      PrWin::Output(PrWin::kCategoryTrace,
                    L"CCanSink::process(): received message on bus %d, at frame %u\n",
                    static_cast<int>(ref.channel), frame);
  }
  complete_lists(block.X(0).Len());
  m_current = nullptr;
}

void CCanSink::complete_lists(std::uint32_t len) {
  for (auto& [number, state] : m_current->states) {
    CFueGroeListeBasis& list = *state.list;
    if (list.kind() == CFueGroeListeBasis::Kind::Pulse) {
      auto* pulses = static_cast<CDzPulsListe*>(&list);
      if (list.empty()) {
        if (!timed_out(state, number)) list.append(len, state.lastValue);
      } else {
        pulses->CompletePulsList(len - static_cast<std::uint32_t>(list.total_length()));
      }
      pulses->CalcAverPulsF(m_frameRate);
    } else if (list.kind() == CFueGroeListeBasis::Kind::Hop) {
      auto* hops = static_cast<CFueGroeHopListe*>(&list);
      if (list.empty()) {
        if (!timed_out(state, number)) list.append(len, state.lastValue);
      } else {
        list.append(len - static_cast<std::uint32_t>(list.total_length()), state.lastValue);
      }
      if (!list.empty()) hops->ListeAbschliessen(len);
    }
    state.lastFrame = -1;
  }
}

bool CCanSink::timed_out(SinkSignalState& state, int signal) {
  const unsigned int timeout = m_timeout.load(std::memory_order_relaxed);
  if (timeout == 0) return false;
  const std::uint32_t silence = static_cast<std::uint32_t>(GetTickCount()) - state.lastTick;
  if (silence < timeout * 1000U) return false;
  if (!state.silent) {
    state.silent = true;
    ++state.timeouts;
  }
  if (m_logLevel != 0 && state.lastTick != 0) {
    state.lastTick = 0;
    const CString line = L"CCanSink::process(): timed out on signal '" +
                         Tables().ApplicationSignalName(signal) + L"'\n";
    PrWin::Output(line.GetString(), PrWin::kCategoryTrace, PrWin::kStyleWarning);
  }
  return true;
}

// Every value is recorded as decoded. The value list takes one entry per frame, made by the
// first value of the signal in that frame: an entry's length is the distance in frames from the
// value before. A value in frame 0 makes no entry (it would have length 0) but becomes the last
// value, which the end of the block spreads over the block; a later value in the same frame is
// counted and leaves the list and the last value as they are.
void CCanSink::callback(int signal, double value, int frame) {
  if (signal == -1 || m_current == nullptr) return;
  SinkSignalState* const found = m_current->find(signal);
  if (found == nullptr) return;
  SinkSignalState& state = *found;
  m_current->values.push_back({state.ordinal, static_cast<std::uint32_t>(frame), value});
  if (state.lastFrame >= 0 && frame == state.lastFrame) {
    ++m_sharedFrame;
    PrWin::Output(PrWin::kCategoryTrace,
                  L"CCanSink::callback(): '%s' received twice for frame %u\n",
                  Tables().ApplicationSignalName(signal).GetString(), static_cast<unsigned>(frame));
    return;
  }
  const auto length =
      static_cast<std::uint32_t>(state.lastFrame >= 0 ? frame - state.lastFrame : frame);
  float stored = 0.0F;
  CFueGroeListeBasis& list = *state.list;
  const float single = ToSingle(value);
  if (list.kind() == CFueGroeListeBasis::Kind::Pulse) {
    stored = single == 0.0F ? std::numeric_limits<float>::max() : m_frameRate * 60.0F / single;
    if (length != 0) list.append(length, stored);
  } else if (list.kind() == CFueGroeListeBasis::Kind::Hop) {
    stored = single;
    if (length != 0) list.append(length, stored);
  }
  if (m_logLevel != 0)
    PrWin::Output(PrWin::kCategoryTrace,
                  L"CCanSink::callback(): Pulse for '%s' inserted at frame %d, duration %u\n",
                  Tables().ApplicationSignalName(signal).GetString(), frame, length);
  state.lastValue = stored;
  state.lastFrame = frame;
  // The tick of this value's packet: a time-out counts from it, not from the start of the block.
  if (!m_packetTick) m_packetTick = static_cast<std::uint32_t>(GetTickCount());
  state.lastTick = *m_packetTick;
  state.silent = false;
}
