#include "source/FrameAssembler.h"

#include <algorithm>

#include "frame/CanPacket.h"
#include "host/candriver/CanId.h"

// A record's stamp is read against the channel's latest clock reading. The capsule keeps 24 bits
// of it (2097 s): a record stamped longer ago than half of that, which a stall of the machine
// brings (what the driver kept, what waited in the buffer), would be read a turn of the clock off,
// in the far future. The whole 32-bit reading and stamp tell it apart for 3 days either way.
std::int64_t ChannelLane::time_of(const CanRecord& record) const noexcept {
  if (static_cast<std::int64_t>(lastRaw & capsule.m_mask) != capsule.m_last)
    return capsule.stamp_time(record.stamp);  // not read since a reset
  return capsule.time() + capsule.scaled(static_cast<std::int32_t>(record.stamp - lastRaw));
}

void FrameAssembler::clear_routes() noexcept {
  m_routes.fill(nullptr);
  m_otherRoutes.clear();
}

void FrameAssembler::add_route(int channel, ChannelLane* lane) {
  lane->waiting = 0;
  if (lane_of(channel) != nullptr) return;
  if (channel >= 0 && channel < static_cast<int>(m_routes.size()))
    m_routes[static_cast<std::size_t>(channel)] = lane;
  else
    m_otherRoutes.push_back({channel, lane});
}

ChannelLane* FrameAssembler::lane_of(int channel) const noexcept {
  if (channel >= 0 && channel < static_cast<int>(m_routes.size()))
    return m_routes[static_cast<std::size_t>(channel)];
  for (const Route& route : m_otherRoutes)
    if (route.channel == channel) return route.lane;
  return nullptr;
}

// The buffer is ordered by each record's time on the host time line, not by raw stamp: channels
// of different interfaces count from different clocks, and ordering their raw stamps would put one
// channel's messages of a frame behind the other's, where fill must drop them as late. The time
// is taken after the time machine set the capsules, with the offsets the frame is filled with.
void FrameAssembler::add_batch(std::vector<CanRecord>& batch) {
  if (batch.empty()) return;
  const ChannelLane* lane = lane_of(batch.front().message.channel);
  for (auto& record : batch)
    record.time = lane ? lane->time_of(record) : record.stamp;
  m_batches.push_back(&batch);
}

// Each batch is already in reception order, so the leftover buffer and the batches are merged in
// one k-way pass (stable: of equal times the record of the earlier run stays first) into a scratch
// vector that is swapped in; both vectors keep their capacity, so a steady stream allocates
// nothing.
void FrameAssembler::merge() {
  if (m_batches.empty()) return;
  if (m_batches.size() == 1 && m_buffer.empty()) {
    m_buffer.swap(*m_batches.front());
    m_batches.clear();
    return;
  }
  std::size_t incoming = 0;
  m_runs.clear();
  m_runs.push_back({m_buffer.data(), m_buffer.data() + m_buffer.size()});
  for (auto* batch : m_batches) {
    incoming += batch->size();
    m_runs.push_back({batch->data(), batch->data() + batch->size()});
  }
  m_batches.clear();
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

// A record goes to the byte of its time, rounded down to a whole 4 bytes, or behind the packet
// before it when that one reaches further; placed more than the slack behind its time, it is as
// late as an old one. The times are taken again with the capsules of this frame: a record that
// waited was timed with the last frame's.
FrameAssembler::Tally FrameAssembler::fill(const Frame& frame) noexcept {
  Tally tally;
  std::uint32_t pos = 0;
  std::size_t passed = 0;
  for (; passed < m_buffer.size(); ++passed) {
    const CanRecord& record = m_buffer[passed];
    ChannelLane* lane = lane_of(record.message.channel);
    if (!lane) {
      // No lane on the record's channel (its source was removed meanwhile): nothing can place it.
      ++tally.unrouted;
      continue;
    }
    const std::int64_t t = lane->time_of(record);
    if (t < frame.start - kOldTolerance) {
      ++tally.old;
      ++lane->counters.old;
      continue;
    }
    const std::int64_t tc = std::max(t, frame.start);
    if (tc > frame.futureFrom) {
      tally.future = discard_future(passed);
      break;
    }
    const auto dt = static_cast<float>(tc - frame.start);
    const auto p = static_cast<std::uint32_t>(dt * frame.bytesPerTick) & ~3u;
    if (p >= pos) pos = p;
    const auto q =
        static_cast<std::uint32_t>((dt + static_cast<float>(kOldTolerance)) * frame.bytesPerTick) &
        ~3u;
    if (pos > q) {
      // The log line counts these with the old ones; the counters keep them apart, because a
      // region too small for its buses is a different fault from a channel that comes late.
      ++tally.old;
      ++lane->counters.noRoom;
      continue;
    }
    const auto& m = record.message;
    const auto size = static_cast<std::uint32_t>(can::PacketSize(m.length));
    if (pos + size >= frame.capacity) break;
    // Bit 31 marks an extended identifier in the packet, as DBC files write it, so that the sink
    // and the capture can tell a 29-bit identifier below 0x800 from a standard one.
    const std::uint32_t id = XeCanDriverKvaser::FlaggedId(m.id, m.flags);
    can::WritePacket(frame.bytes + pos, m.channel, m.length, id, m.data);
    pos += size;
    ++tally.processed;
    ++lane->counters.delivered;
  }
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(passed));
  return tally;
}

int FrameAssembler::discard_future(std::size_t from) noexcept {
  const auto count = static_cast<int>(m_buffer.size() - from);
  for (std::size_t i = from; i < m_buffer.size(); ++i)
    if (ChannelLane* lane = lane_of(m_buffer[i].message.channel)) ++lane->counters.future;
  m_buffer.resize(from);
  return count;
}

void FrameAssembler::count_waiting() noexcept {
  for (ChannelLane* lane : m_routes)
    if (lane) lane->waiting = 0;
  for (const Route& route : m_otherRoutes)
    route.lane->waiting = 0;
  for (const auto& record : m_buffer)
    if (ChannelLane* lane = lane_of(record.message.channel)) ++lane->waiting;
}
