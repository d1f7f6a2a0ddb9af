// CCanSourceModule: capture and frame alignment, once per frame on the processing thread.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "frame/CanPacket.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/slowsampling/CSlowSourceContainer.h"
#include "source/CCanSourceModule.h"

bool CCanSourceModule::update() {
  if (m_sources.empty()) return true;
  float* region = m_container->data() + m_dataOffset;
  std::fill_n(region, static_cast<std::size_t>(m_samplesPerFrame) * m_floatsPerSample, 0.0F);
  m_timeMachine.poll();
  bool result = true;
  for (auto& [id, source] : m_sources)
    result = source->fetch() && result;
  m_timeMachine.capsule_set();
  merge_batches();
  fill(region, m_floatsPerSample);
  if (!m_syncEnabled) advance_frame_capsule();
  publish_statistics(true);
  return result;
}

// The buffer is ordered by each record's time on the host time line, not by raw stamp: channels
// of different interfaces count from different clocks, and ordering their raw stamps would put one
// channel's messages of a frame behind the other's, where fill must drop them as late. The time
// is taken after capsule_set, with the offsets the frame is filled with. Each batch is already in
// reception order, so the leftover buffer and the batches are merged in one k-way pass (stable:
// of equal times the record of the earlier run stays first) into a scratch vector that is swapped
// in; both vectors keep their capacity, so a steady stream allocates nothing.
void CCanSourceModule::merge_batches() {
  std::size_t incoming = 0;
  m_runs.clear();
  m_runs.push_back({m_buffer.data(), m_buffer.data() + m_buffer.size()});
  for (auto& [id, source] : m_sources) {
    auto& batch = source->batch();
    if (batch.empty()) continue;
    const int k = slot_of(batch.front().message.channel);
    for (auto& record : batch)
      record.time = k >= 0 ? record_time(static_cast<std::size_t>(k), record) : record.stamp;
    incoming += batch.size();
    m_runs.push_back({batch.data(), batch.data() + batch.size()});
  }
  if (incoming == 0) return;
  if (m_runs.size() == 2 && m_buffer.empty()) {
    for (auto& [id, source] : m_sources)
      if (!source->batch().empty()) m_buffer.swap(source->batch());
    return;
  }
  // A min-heap of the runs' heads; of equal times the earlier run wins, which keeps it stable.
  const auto later = [](const Head& a, const Head& b) {
    return a.time != b.time ? a.time > b.time : a.run > b.run;
  };
  m_heads.clear();
  for (std::size_t r = 0; r < m_runs.size(); ++r)
    if (m_runs[r].next != m_runs[r].end) m_heads.push_back({m_runs[r].next->time, r});
  std::make_heap(m_heads.begin(), m_heads.end(), later);
  m_scratch.clear();
  ReleaseAfterBurst(m_scratch, m_buffer.size() + incoming);
  m_scratch.reserve(m_buffer.size() + incoming);
  while (!m_heads.empty()) {
    std::pop_heap(m_heads.begin(), m_heads.end(), later);
    Run& run = m_runs[m_heads.back().run];
    m_scratch.push_back(*run.next++);
    if (run.next == run.end) {
      m_heads.pop_back();
      continue;
    }
    m_heads.back().time = run.next->time;
    std::push_heap(m_heads.begin(), m_heads.end(), later);
  }
  m_buffer.swap(m_scratch);
}

// A record's stamp is read against the channel's latest clock reading. The capsule keeps 24 bits
// of it (2097 s): a record stamped longer ago than half of that, which a stall of the machine
// brings (what the driver kept, what waited in the buffer), would be read a turn of the clock off,
// in the far future. The whole 32-bit reading and stamp tell it apart for 3 days either way.
std::int64_t CCanSourceModule::record_time(std::size_t slot,
                                           const CanRecord& record) const noexcept {
  const CTimeCapsule& capsule = m_capsules[slot];
  const std::uint32_t raw = m_lastRaw[slot];
  if (static_cast<std::int64_t>(raw & capsule.m_mask) != capsule.m_last)
    return capsule.stamp_time(record.stamp);  // not read since a reset
  return capsule.time() + capsule.scaled(static_cast<std::int32_t>(record.stamp - raw));
}

void CCanSourceModule::advance_frame_capsule() {
  auto n = static_cast<std::int64_t>(m_ticksPerFrame);
  m_tickCarry += m_ticksPerFrame - std::floor(m_ticksPerFrame);
  if (m_tickCarry > 1.0F) {
    m_tickCarry -= 1.0F;
    n += 1;
  }
  CTimeCapsule* frame = m_sync.frame_time_capsule();
  frame->raw_update(frame->m_last + n);
}

bool CCanSourceModule::fill(float* region, unsigned floatsPerSample) {
  if (m_buffer.empty()) return true;
  const std::uint32_t capacity = floatsPerSample * 4u * m_samplesPerFrame;
  const float bytesPerTick = static_cast<float>(floatsPerSample * 4u) * m_samplesPerTick;
  const std::int64_t frameStart = m_timeMachine.get(kFrameTimeItem)->time();
  const std::int64_t futureFrom = future_from(frameStart);
  auto* bytes = reinterpret_cast<std::uint8_t*>(region);
  std::uint32_t pos = 0;
  int old = 0;
  int processed = 0;
  int unrouted = 0;
  std::size_t passed = 0;
  for (; passed < m_buffer.size(); ++passed) {
    CanRecord& record = m_buffer[passed];
    const int k = slot_of(record.message.channel);
    if (k < 0) {
      // No handle on the record's channel (its source was removed meanwhile): nothing can place it.
      ++unrouted;
      continue;
    }
    Counters& counters = m_counters[static_cast<std::size_t>(k)];
    const std::int64_t t = record_time(static_cast<std::size_t>(k), record);
    if (t < frameStart - kOldTolerance) {
      ++old;
      ++counters.old;
      continue;
    }
    const std::int64_t tc = std::max(t, frameStart);
    if (tc > futureFrom) {
      discard_future(passed);
      break;
    }
    const auto dt = static_cast<float>(tc - frameStart);
    const auto p = static_cast<std::uint32_t>(dt * bytesPerTick) & ~3u;
    if (p >= pos) pos = p;
    const auto q =
        static_cast<std::uint32_t>((dt + static_cast<float>(kOldTolerance)) * bytesPerTick) & ~3u;
    if (pos > q) {
      // The log line counts these with the old ones; the statistics keep them apart, because a
      // region too small for its buses is a different fault from a channel that comes late.
      ++old;
      ++counters.noRoom;
      continue;
    }
    const auto& m = record.message;
    const std::uint32_t size = static_cast<std::uint32_t>(can::PacketSize(m.length));
    if (pos + size >= capacity) break;
    // Bit 31 marks an extended identifier in the packet, as DBC files write it, so that the sink
    // and the capture can tell a 29-bit identifier below 0x800 from a standard one.
    const std::uint32_t id = XeCanDriverKvaser::FlaggedId(m.id, m.flags);
    can::WritePacket(bytes + pos, m.channel, m.length, id, m.data);
    pos += size;
    ++m_delivered;
    ++processed;
    ++counters.delivered;
  }
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(passed));
  log_fill(unrouted, old, processed);
  return true;
}

std::int64_t CCanSourceModule::future_from(std::int64_t frameStart) {
  // A record is in the future when it lies beyond the limit after the frame and after the USB
  // time now: after a stall (a suspended machine, a starved process) the frames catch up with
  // the time the driver's records were stamped at, and those wait for their frames.
  return std::max(frameStart,
                  m_syncEnabled ? m_timeMachine.get(kUsbTimeItem)->time() : frameStart) +
         kFutureLimit;
}

void CCanSourceModule::discard_future(std::size_t from) {
  if (m_logLevel != 0)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: drop %d future CAN messages\n",
                  static_cast<int>(m_buffer.size() - from));
  for (std::size_t i = from; i < m_buffer.size(); ++i)
    if (const int j = slot_of(m_buffer[i].message.channel); j >= 0)
      ++m_counters[static_cast<std::size_t>(j)].future;
  m_buffer.resize(from);
}

void CCanSourceModule::log_fill(int unrouted, int old, int processed) const {
  if (unrouted > 0 && m_logLevel > 0)
    PrWin::Output(PrWin::kCategoryTrace,
                  L"fill: dropped %d CAN messages of channels without handle\n", unrouted);
  if (old > 0 && m_logLevel > 0)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: dropped %d old CAN messages\n", old);
  if (processed > 0 && m_logLevel > 1)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: processed %d new CAN messages\n", processed);
}
