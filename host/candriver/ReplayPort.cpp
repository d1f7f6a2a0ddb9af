#include "host/candriver/ReplayPort.h"

#include <algorithm>
#include <cwchar>
#include <functional>

#include "host/candriver/DriverLog.h"
#include "host/candriver/FrameTiming.h"
#include "host/mfc/CString.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser::detail {
namespace {
std::filesystem::path Resolve(const ChannelConfig& config) {
  const std::filesystem::path file = *config.options.Find("file");
  return file.is_absolute() ? file : config.folder / file;
}
}  // namespace

std::string ReplayPort::Check(const ChannelConfig& config) {
  std::string error = config.options.CheckKnown({"file", "interface"});
  if (error.empty() && (!config.options.Find("file") || config.options.Find("file")->empty()))
    error = "a replay channel needs file=";
  return error;
}

std::unique_ptr<CanPort> ReplayPort::Open(const ChannelConfig& config, const BusParams& params) {
  const std::filesystem::path file = Resolve(config);
  const std::string* interface = config.options.Find("interface");
  if (config.spool)
    return std::make_unique<ReplayPort>(config.channel, params, config.clock, file,
                                        interface ? *interface : std::string(), config.spool);
  CanLogReader probe;
  if (!probe.Open(file)) {
    Log(L"candriver: channel " + std::to_wstring(config.channel) + L": " +
        mfc::WidenUtf8(probe.error()));
    return nullptr;
  }
  return std::make_unique<ReplayPort>(config.channel, params, config.clock, file,
                                      interface ? *interface : std::string());
}

ReplayPort::ReplayPort(int channel, const BusParams& params, const ChannelClock& clock,
                       std::filesystem::path file, std::string interface,
                       std::shared_ptr<const LogSpool> spool)
    : CanPort(channel, params, clock), m_file(std::move(file)), m_interface(std::move(interface)) {
  if (!spool) return;
  if (!m_interface.empty()) m_spooledInterface = spool->ChannelIndex(m_interface);
  m_spooled.emplace(std::move(spool));
}

bool ReplayPort::DoGoOnBus() {
  std::lock_guard lock(m_mutex);
  m_active = true;
  m_onBusNs = host::HostClock().now_ns();
  ++m_starts;
  m_finished.store(false);
  // The first frame is due at once; the reception thread knows better after its first fetch.
  m_nextDueNs.store(m_onBusNs);
  return true;
}

void ReplayPort::DoGoOffBus() {
  std::lock_guard lock(m_mutex);
  m_active = false;
}

void ReplayPort::Restart() {
  m_pending = false;
  m_haveFirst = false;
  m_ahead.clear();
  m_inOrder.clear();
  m_read = 0;
  m_eof = false;
  m_skippedFd = 0;
  m_lastDue = m_startNs;
  m_wireFree = kNever;
  m_maxShift = 0;
  m_shifted = 0;
  m_shiftReported = false;
  if (m_spooled) {
    m_spooled->Rewind();
    m_done = false;
    m_finished.store(false);
    return;
  }
  m_done = !m_reader.Open(m_file);
  // A log that cannot be opened has nothing to play: it is over at once.
  if (m_done) m_nextDueNs.store(kNever);
  m_finished.store(m_done);
  if (m_done)
    Log(L"candriver: channel " + std::to_wstring(channel()) + L": " +
        mfc::WidenUtf8(m_reader.error()));
}

void ReplayPort::Finish() {
  m_done = true;
  m_nextDueNs.store(kNever);
  m_finished.store(true);
  const std::int64_t now = host::HostClock().now_ns();
  ReportSkips(m_unreadable, m_unreadable.throttle.Take(now));
  ReportShift();
  if (m_skippedFd == 0) return;
  Log(L"candriver: channel " + std::to_wstring(channel()) + L": " +
      mfc::WidenUtf8(m_file.string()) + L": " + std::to_wstring(m_skippedFd) +
      L" CAN FD frames skipped: channel opened without CAN FD");
}

void ReplayPort::Skip(Skips& skips, std::wstring report) {
  skips.last = std::move(report);
  ReportSkips(skips, skips.throttle.Count(1, host::HostClock().now_ns()));
}

void ReplayPort::ReportSkips(const Skips& skips, std::uint64_t n) const {
  if (n == 0) return;
  Log(L"candriver: channel " + std::to_wstring(channel()) + L": " +
      (n == 1 ? skips.last
              : std::to_wstring(n) + L" " + skips.what + L" skipped, the last: " + skips.last));
}

void ReplayPort::ReportShift() {
  if (m_shiftReported || m_shifted == 0) return;
  m_shiftReported = true;
  wchar_t seconds[32];
  std::swprintf(seconds, sizeof seconds / sizeof seconds[0], L"%.6f",
                static_cast<double>(m_maxShift) / 1e9);
  Log(L"candriver: channel " + std::to_wstring(channel()) + L": " +
      mfc::WidenUtf8(m_file.string()) + L": " + std::to_wstring(m_shifted) +
      L" frames played later than logged, the wire being busy with the frames before them "
      L"(times too close, or out of order), at most " +
      seconds + (m_maxShiftObject ? L" s (object " : L" s (line ") +
      std::to_wstring(m_maxShiftLine) + L"); none dropped");
}

bool ReplayPort::Playable(const CanMessage& message) noexcept {
  if ((message.flags & kCanFlagFd) && !params().fd) {
    ++m_skippedFd;
    return false;
  }
  return true;
}

// Reads the next usable frame into the window; false at the end of the log.
bool ReplayPort::ReadAhead() {
  if (m_spooled) return ReadAheadSpooled();
  while (m_reader.Next(m_entry)) {
    if (!m_entry.error.empty()) {
      Skip(m_unreadable, mfc::WidenUtf8(m_entry.error));
      continue;
    }
    if (m_entry.message.flags & kCanFlagErrorFrame) continue;
    if (!m_interface.empty() && m_entry.channel != m_interface) continue;
    if (!Playable(m_entry.message)) continue;
    m_latestLogNs = m_read == 0 ? m_entry.timeNs : std::max(m_latestLogNs, m_entry.timeNs);
    Hold({m_entry.timeNs, m_read++, m_entry.line, m_entry.object, m_entry.message});
    return true;
  }
  m_eof = true;
  return false;
}

// The spool holds the log's frames only: no unreadable place, no error frame.
bool ReplayPort::ReadAheadSpooled() {
  while (m_spooled->Next(m_frame)) {
    if (!m_interface.empty() && m_frame.channel != m_spooledInterface) continue;
    if (!Playable(m_frame.message)) continue;
    m_latestLogNs = m_read == 0 ? m_frame.timeNs : std::max(m_latestLogNs, m_frame.timeNs);
    Hold({m_frame.timeNs, m_read++, m_frame.line, m_frame.object, m_frame.message});
    return true;
  }
  if (!m_spooled->error().empty())
    Log(L"candriver: channel " + std::to_wstring(channel()) + L": " +
        mfc::WidenUtf8(m_file.string()) + L": " + mfc::WidenUtf8(m_spooled->error()) +
        L"; the replay ends here");
  m_eof = true;
  return false;
}

void ReplayPort::InOrder::push_back(const Ahead& ahead) {
  if (m_count == m_ring.size()) {
    std::vector<Ahead> bigger(std::max<std::size_t>(64, 2 * m_ring.size()));
    for (std::size_t i = 0; i < m_count; ++i)
      bigger[i] = m_ring[(m_head + i) & (m_ring.size() - 1)];
    m_ring.swap(bigger);
    m_head = 0;
  }
  m_ring[(m_head + m_count) & (m_ring.size() - 1)] = ahead;
  ++m_count;
}

// A log is mostly in time order: its frames queue in order, and only one stamped earlier than the
// latest queued goes to the heap (a heap of every frame cost a dozen moves of each).
void ReplayPort::Hold(const Ahead& ahead) {
  if (m_inOrder.empty() || ahead.timeNs >= m_inOrder.back().timeNs) {
    m_inOrder.push_back(ahead);
  } else {
    m_ahead.push_back(ahead);
    std::push_heap(m_ahead.begin(), m_ahead.end(), std::greater<>());
  }
}

const ReplayPort::Ahead& ReplayPort::Earliest() const noexcept {
  if (m_ahead.empty()) return m_inOrder.front();
  if (m_inOrder.empty()) return m_ahead.front();
  return m_inOrder.front() > m_ahead.front() ? m_ahead.front() : m_inOrder.front();
}

void ReplayPort::TakeEarliest() {
  if (!m_ahead.empty() && (m_inOrder.empty() || m_inOrder.front() > m_ahead.front())) {
    std::pop_heap(m_ahead.begin(), m_ahead.end(), std::greater<>());
    m_next = m_ahead.back();
    m_ahead.pop_back();
  } else {
    m_next = m_inOrder.front();
    m_inOrder.pop_front();
  }
}

// The earliest frame of the window is final once the log has been read a whole window beyond it,
// or the window is full. It ends on the wire at its logged time, or as soon as the frame before
// has left the wire and it has had its own time on it.
bool ReplayPort::ReadNext() {
  while (!m_eof && (Held() == 0 ||
                    (m_latestLogNs - Earliest().timeNs < kReorderNs && Held() < kReorderFrames)))
    ReadAhead();
  if (Held() == 0) return false;
  TakeEarliest();
  if (!m_haveFirst) {
    m_haveFirst = true;
    m_firstLogNs = m_next.timeNs;
  }
  const std::int64_t ticks = ChannelClock::FloorDiv(
      m_next.timeNs - m_firstLogNs + ChannelClock::kTickNs / 2, ChannelClock::kTickNs);
  const std::int64_t logged = m_startNs + ticks * ChannelClock::kTickNs;
  m_pendingDue = logged;
  if (m_wireFree != kNever)
    m_pendingDue = std::max(logged, m_wireFree + FrameDurationNs(m_next.message, params(), false));
  m_wireFree = m_pendingDue;
  if (m_pendingDue > logged) {
    ++m_shifted;
    if (m_pendingDue - logged > m_maxShift) {
      m_maxShift = m_pendingDue - logged;
      m_maxShiftLine = m_next.line;
      m_maxShiftObject = m_next.object;
    }
  }
  m_pending = true;
  return true;
}

FetchResult ReplayPort::DoFetch(CanMessage* out, std::size_t capacity) noexcept {
  bool active = false;
  std::uint64_t starts = 0;
  std::int64_t onBusNs = 0;
  {
    std::lock_guard lock(m_mutex);
    active = m_active;
    starts = m_starts;
    onBusNs = m_onBusNs;
  }
  FetchResult result;
  if (!active) {
    if (!m_done) ReportShift();
    m_done = true;
    return result;
  }
  if (starts != m_startsSeen) {
    m_startsSeen = starts;
    m_startNs = onBusNs;
    Restart();
  }
  const std::int64_t now = host::HostClock().now_ns();
  std::size_t n = 0;
  while (n < capacity && !m_done) {
    if (!m_pending && !ReadNext()) {
      Finish();
      break;
    }
    const std::int64_t due = std::max(m_pendingDue, m_lastDue);
    if (due > now) break;
    out[n] = m_next.message;
    out[n].channel = channel();
    out[n].timestamp = clock().TicksAt(m_pendingDue);
    m_lastDue = due;
    m_pending = false;
    ++n;
  }
  result.count = n;
  if (!m_done) {
    result.through = m_pending ? std::max(m_pendingDue, m_lastDue) - 1 : m_lastDue - 1;
    // Not pending with the batch full: the next frame may be due now.
    m_nextDueNs.store(m_pending ? std::max(m_pendingDue, m_lastDue) : now);
  }
  return result;
}

void ReplayPort::Wait() {
  if (m_done) {
    m_waiter.WaitUntil(kNever);
  } else if (m_pending) {
    m_waiter.WaitUntil(std::max(m_pendingDue, m_lastDue));
  }
}

}  // namespace XeCanDriverKvaser::detail
