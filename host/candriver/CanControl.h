#pragma once
// The bus controller of one CAN source, built on the source's own CanIo. It owns a reception
// thread that hands every message of the channel, in reception order, to the read monitors; the
// host registers the thread under the source name (CThreadControllerRegistry). The thread lives as
// long as the controller and idles while the handle is closed.
//
// Threads: [ui] and [processing] build, start, stop and destroy the controller and switch the bus;
// read monitors run on [reception]; Send is [any] (the analysis library's timers, read monitors).
// Stop and the destructor are not called from a read monitor.
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/candriver/CanIo.h"
#include "host/candriver/DeliveryTracker.h"
#include "host/mfc/CString.h"
#include "host/services/LogThrottle.h"

namespace XeCanDriverKvaser {

class CanControl {
 public:
  // Called on [reception] for each message. Returning false keeps the message from the monitors
  // added after this one.
  using ReadMonitor = std::function<bool(const CanMessage&)>;
  // Messages fetched and delivered per round of the reception thread.
  static constexpr std::size_t kBatch = 64;

  // [ui] The controller of the source `name` on `io`; `io` must outlive it.
  CanControl(const CString& name, CanIo& io);
  // [ui] Detaches from the handle (which stays open) and ends the reception thread.
  ~CanControl();
  CanControl(const CanControl&) = delete;
  CanControl& operator=(const CanControl&) = delete;

  // Values of `busState`.
  static constexpr int kOffBus = 0;
  static constexpr int kOnBus = 1;

  int busState = kOffBus;

  // [ui] Opens the handle with these parameters unless it is open with them already, under the
  // driver configuration in force; off bus. False when the handle cannot be opened.
  bool Start(bool fd, bitrate_t bitrate, fd_arbitrationrate_t arbitration, fd_datarate_t data);
  // [ui, processing] Goes off bus and closes the handle.
  void Stop();
  // [ui, processing] Puts the handle on / off the bus; false when it is not open.
  bool GoOnBus();
  bool GoOffBus();
  // [ui] Adds a read monitor (before or while receiving).
  void AddCanReadMonitor(ReadMonitor monitor);
  // [any] Puts a message on the bus. An identifier above 0x7FF (or with bit 31 set) is sent as
  // extended. False when off bus, malformed (length, identifier), a CAN FD frame on a channel
  // opened without CAN FD, or on a replay channel.
  bool Send(const CanMessage& message);

  // [any] Messages of the channel the driver could not keep for this controller (its receive queue
  // was full: the read monitors did not keep up), since the controller was made.
  std::uint64_t Lost() const noexcept { return m_lost.load(std::memory_order_relaxed); }

  // [any] The reception thread (for the thread registry); the object lives as long as the
  // controller.
  std::thread& ReceptionThread() noexcept { return m_thread; }
  const CString& Name() const noexcept { return m_name; }

 private:
  friend class CanIo;
  // Called by the handle when it opens (port) or closes (null); waits until the reception thread
  // has let go of the previous port.
  void Attach(detail::CanPort* port);
  void Run();
  // Fetches one batch from `port` and hands it to the monitors; the number of messages.
  std::size_t Round(detail::CanPort& port, const std::vector<ReadMonitor>& monitors,
                    CanMessage* batch);
  // Inline delivery: on the calling thread, what is due now, while the reception thread waits.
  void DeliverHere();
  void Deliver(const std::vector<ReadMonitor>& monitors, const CanMessage* messages,
               std::size_t count);
  void MonitorFailed(const std::wstring& what) noexcept;

  const CString m_name;
  CanIo* m_io;
  std::mutex m_mutex;
  std::condition_variable m_cv;       // wakes the thread: a port, quit, inline delivery over
  std::condition_variable m_idleCv;   // m_busy went false
  detail::CanPort* m_port = nullptr;  // guarded by m_mutex
  bool m_busy = false;  // the thread, or an inline delivery, is using m_port; guarded by m_mutex
  std::thread::id m_busyOn;  // the thread that set m_busy; guarded by m_mutex
  bool m_quit = false;       // guarded by m_mutex
  std::shared_ptr<const std::vector<ReadMonitor>> m_monitors;  // replaced whole; guarded
  detail::DeliveryTracker::Receiver m_receiver;
  std::atomic<std::uint64_t> m_lost{0};
  host::LogThrottle m_monitorErrors;  // the reception thread's own
  std::thread m_thread;               // last: it starts when everything above exists
};

}  // namespace XeCanDriverKvaser
