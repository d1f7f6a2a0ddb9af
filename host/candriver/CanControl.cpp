#include "host/candriver/CanControl.h"

#include <exception>

#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverLog.h"
#include "host/services/HostClock.h"

namespace XeCanDriverKvaser {

CanControl::CanControl(const CString& name, CanIo& io)
    : m_name(name), m_io(&io), m_monitors(std::make_shared<const std::vector<ReadMonitor>>()) {
  m_receiver.deliverHere = [this] { DeliverHere(); };
  m_receiver.resume = [this] {
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
  };
  m_receiver.settle = [this] {
    std::unique_lock lock(m_mutex);
    while (m_busy) {
      if (m_port) m_port->Interrupt();
      m_idleCv.wait(lock);
    }
  };
  detail::DeliveryTracker::Get().Add(m_receiver);
  if (io.m_control) {
    io.m_control->Attach(nullptr);
    io.m_control->m_io = nullptr;
  }
  io.m_control = this;
  m_thread = std::thread(&CanControl::Run, this);
  if (io.m_port) Attach(io.m_port.get());
}

CanControl::~CanControl() {
  Attach(nullptr);
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
  }
  m_cv.notify_all();
  m_thread.join();
  detail::DeliveryTracker::Get().Remove(m_receiver);
  if (m_io) m_io->m_control = nullptr;
}

bool CanControl::Start(bool fd, bitrate_t bitrate, fd_arbitrationrate_t arbitration,
                       fd_datarate_t data) {
  if (!m_io) return false;
  if (m_io->m_port && m_io->m_port->generation() == detail::CanDriver::Get().Generation()) {
    const auto params = CanIo::ToBusParams(m_io->channel, fd, bitrate, arbitration, data);
    if (params && *params == m_io->m_port->params()) return true;
  }
  busState = kOffBus;
  return m_io->Open(fd, bitrate, arbitration, data);
}

void CanControl::Stop() {
  GoOffBus();
  if (m_io) m_io->Close();
}

bool CanControl::GoOnBus() {
  if (!m_io || !m_io->GoOnBus()) return false;
  busState = kOnBus;
  return true;
}

bool CanControl::GoOffBus() {
  busState = kOffBus;
  return m_io && m_io->GoOffBus();
}

void CanControl::AddCanReadMonitor(ReadMonitor monitor) {
  std::lock_guard lock(m_mutex);
  auto monitors = std::make_shared<std::vector<ReadMonitor>>(*m_monitors);
  monitors->push_back(std::move(monitor));
  m_monitors = std::move(monitors);
}

bool CanControl::Send(const CanMessage& message) {
  std::lock_guard lock(m_mutex);
  return m_port && m_port->Send(message);
}

void CanControl::Attach(detail::CanPort* port) {
  std::unique_lock lock(m_mutex);
  if (m_port == port) return;
  if (m_port) {
    detail::DeliveryTracker::Get().SetPort(m_receiver, nullptr);
    m_port->SetReceiving(false);
    m_port->Interrupt();
    m_port = nullptr;
    // From a read monitor the delivery cannot be waited for; the thread checks the port before it
    // waits.
    if (m_busyOn != std::this_thread::get_id()) m_idleCv.wait(lock, [&] { return !m_busy; });
  }
  if (port) {
    port->SetReceiving(true);
    m_port = port;
    detail::DeliveryTracker::Get().SetPort(m_receiver, port);
    m_cv.notify_all();
  }
}

void CanControl::Deliver(const std::vector<ReadMonitor>& monitors, const CanMessage* messages,
                         std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    for (const ReadMonitor& monitor : monitors) {
      bool next = true;
      try {
        next = monitor(messages[i]);
      } catch (const std::exception& e) {
        MonitorFailed(mfc::WidenUtf8(e.what()));
      } catch (...) {
        MonitorFailed(L"an exception that is not a std::exception");
      }
      if (!next) break;
    }
  }
}

// A monitor that throws once per message would flood the log: one line a second, with the count.
void CanControl::MonitorFailed(const std::wstring& what) noexcept {
  try {
    const std::uint64_t n = m_monitorErrors.Count(1, host::HostClock().now_ns());
    if (n == 0) return;
    detail::Log(L"candriver: a read monitor of '" + m_name.str() + L"' threw " +
                std::to_wstring(n) + (n == 1 ? L" time: " : L" times, the last: ") + what);
  } catch (...) {
    // Not even the log line could be made (out of memory): the message is lost, the thread lives.
  }
}

std::size_t CanControl::Round(detail::CanPort& port, const std::vector<ReadMonitor>& monitors,
                              CanMessage* batch) {
  const detail::FetchResult result = port.Fetch(batch, kBatch);
  if (result.lost != 0) m_lost.fetch_add(result.lost, std::memory_order_relaxed);
  Deliver(monitors, batch, result.count);
  detail::DeliveryTracker::Get().Publish(m_receiver, result);
  return result.count;
}

// The reception thread may be in its port's Wait, still counted busy: it is woken to let go.
void CanControl::DeliverHere() {
  std::array<CanMessage, kBatch> batch;
  std::unique_lock lock(m_mutex);
  while (m_busy) {
    if (m_port) m_port->Interrupt();
    m_idleCv.wait(lock);
  }
  detail::CanPort* const port = m_port;
  if (!port) return;
  const auto monitors = m_monitors;
  m_busy = true;
  m_busyOn = std::this_thread::get_id();
  lock.unlock();
  while (Round(*port, *monitors, batch.data()) == batch.size()) {
  }
  lock.lock();
  m_busy = false;
  m_idleCv.notify_all();
}

// One round: fetch what is due, hand it to the monitors, report the progress, and wait only when
// the batch did not fill up (a full batch means there may be more right away). During inline
// delivery the thread leaves the port to WaitUntilDelivered's caller.
void CanControl::Run() {
  std::array<CanMessage, kBatch> batch;
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_cv.wait(lock, [&] { return m_quit || (m_port && !detail::DeliveryTracker::Get().Inline()); });
    if (m_quit) return;
    detail::CanPort* const port = m_port;
    const auto monitors = m_monitors;
    m_busy = true;
    m_busyOn = std::this_thread::get_id();
    lock.unlock();

    const std::size_t count = Round(*port, *monitors, batch.data());

    lock.lock();
    if (m_port == port && count < batch.size() && !detail::DeliveryTracker::Get().Inline()) {
      lock.unlock();
      port->Wait();
      lock.lock();
    }
    m_busy = false;
    m_idleCv.notify_all();
  }
}

}  // namespace XeCanDriverKvaser
