#include "sources/CCanSource.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "frame/DriverLogForwarding.h"
#include "host/candriver/FrameTiming.h"
#include "host/services/CThreadControllerRegistry.h"
#include "host/services/HostClock.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

using namespace XeCanDriverKvaser;

CCanSource::CCanSource(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel,
                       bool fd, bitrate_t bitrate, fd_arbitrationrate_t fdArbitration,
                       fd_datarate_t fdData)
    : SlowSampling::CAsyncSource(plugin, name),
      m_io(channel),
      m_control(name, m_io),
      m_type(type),
      m_channel(channel),
      m_fd(fd),
      m_bitrate(bitrate),
      m_fdArbitration(fdArbitration),
      m_fdData(fdData) {
  can::InstallDriverLogForwarding();
  m_control.Start(m_fd, m_bitrate, m_fdArbitration, m_fdData);
  CThreadControllerRegistry::Object().Register(m_control.ReceptionThread(), name);
}

CCanSource::~CCanSource() {
  shutdown_reception();
}

void CCanSource::shutdown_reception() {
  if (m_shutDown) return;
  m_shutDown = true;
  const int before = m_control.busState;
  log_off_bus(before, m_control.GoOffBus());
  CThreadControllerRegistry::Object().Release(m_control.ReceptionThread());
  m_control.Stop();
}

std::size_t CCanSource::queued() {
  host::CriticalSectionLock lock(m_lock);
  return m_queue.size();
}

bool CCanSource::start() {
  if (m_channel < 0) return false;
  {
    host::CriticalSectionLock lock(m_lock);
    m_queue.clear();
  }
  m_received.store(0, std::memory_order_relaxed);
  m_overflow.store(0, std::memory_order_relaxed);
  m_overflowLogged = 0;
  // Reopened only when the driver's configuration changed since the handle was opened: an edited
  // candriver.conf counts from the next start.
  m_control.Start(m_fd, m_bitrate, m_fdArbitration, m_fdData);
  m_driverLostAtStart = m_control.Lost();
  const int before = m_control.busState;
  const bool onBus = m_control.GoOnBus();
  if (before != CanControl::kOnBus && onBus && log_level() != 0)
    PrWin::Output(PrWin::kCategoryTrace, L"CCanSource::start(): on bus %d\n", m_channel);
  return true;
}

bool CCanSource::stop() {
  const int before = m_control.busState;
  log_off_bus(before, m_control.GoOffBus());
  return true;
}

void CCanSource::log_off_bus(int stateBefore, bool result) {
  if (stateBefore != CanControl::kOffBus && result && log_level() != 0)
    PrWin::Output(PrWin::kCategoryTrace, L"CCanSource::stop(): off bus %d, received %u messages\n",
                  m_channel, received());
}

std::uint32_t CCanSource::received() const noexcept {
  return m_received.load(std::memory_order_relaxed) +
         static_cast<std::uint32_t>(m_control.Lost() - m_driverLostAtStart);
}

std::uint32_t CCanSource::overflow() const noexcept {
  return m_overflow.load(std::memory_order_relaxed) +
         static_cast<std::uint32_t>(m_control.Lost() - m_driverLostAtStart);
}

bool CCanSource::fetch() {
  const std::size_t last = m_batch.size();
  m_batch.clear();
  ReleaseAfterBurst(m_batch, last);
  {
    host::CriticalSectionLock lock(m_lock);
    m_batch.swap(m_queue);
  }
  // Logged here, on the processing thread, so the reception thread never calls the host.
  const std::uint32_t overflow = m_overflow.load(std::memory_order_relaxed);
  const std::uint64_t n =
      m_overflowLog.Count(overflow - m_overflowLogged, host::HostClock().now_ns());
  m_overflowLogged = overflow;
  if (n != 0)
    PrWin::Output(PrWin::kCategoryTrace,
                  L"CCanSource: channel %d: %llu messages dropped: queue full (%zu messages)\n",
                  m_channel, static_cast<unsigned long long>(n), queue_bound());
  return true;
}

void CCanSource::size_queue(double frameSeconds) {
  std::size_t bound = kMaxQueued;
  const auto bus = OpenBusParams(m_channel);  // the controller opened the channel when made
  const std::int64_t shortest = bus ? detail::ShortestFrameNs(*bus) : 0;
  if (shortest > 0 && frameSeconds > 0.0)
    bound = std::max(bound, static_cast<std::size_t>(std::ceil(2.0 * frameSeconds * 1e9 /
                                                               static_cast<double>(shortest))));
  m_maxQueued.store(bound, std::memory_order_relaxed);
}

bool CCanSource::on_message(const CanMessage& message) {
  if (!active()) return true;
  enqueue(message);
  return true;
}

void CCanSource::enqueue(const CanMessage& message) {
  host::CriticalSectionLock lock(m_lock);
  enqueue_locked(message);
}

void CCanSource::enqueue_locked(const CanMessage& message) {
  m_received.fetch_add(1, std::memory_order_relaxed);
  if (m_queue.size() >= m_maxQueued.load(std::memory_order_relaxed)) {
    m_overflow.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  m_queue.push_back(CanRecord{message.timestamp, message});
}

void CCanSource::discard_queue() {
  std::vector<CanRecord> released;
  host::CriticalSectionLock lock(m_lock);
  m_queue.swap(released);
}
