#pragma once
// One CAN channel of the source module: owns the channel's driver handle and bus controller and
// queues the messages its reception thread receives until the module fetches them once per frame.
//
// Threads: construction, set_running, has_settings, show_settings [ui]; start, stop, fetch
// [processing] (start/stop also from [ui] through the module); on_message [reception].
#include <atomic>
#include <cstdint>
#include <vector>

#include "frame/CanBusSource.h"
#include "host/candriver/CanControl.h"
#include "host/candriver/CanIo.h"
#include "host/mfc/CCriticalSection.h"
#include "host/mfc/CString.h"
#include "host/services/LogThrottle.h"
#include "host/slowsampling/CAsyncSource.h"
#include "sources/CanRecord.h"

class CSlowAsyncSourcePlugin;

class CCanSource : public SlowSampling::CAsyncSource, public CanBusSource {
 public:
  using CanMessage = XeCanDriverKvaser::CanMessage;
  // Messages kept between two fetches, at least. The host fetches every frame; more than a bus
  // can carry in two frames (size_queue) means it has stopped doing so, and what does not fit is
  // counted as overflow instead of growing without end.
  static constexpr std::size_t kMaxQueued = 32768;

  CCanSource(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel, bool fd,
             XeCanDriverKvaser::bitrate_t bitrate,
             XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
             XeCanDriverKvaser::fd_datarate_t fdData);
  // Abstract through the destructor: only the three source kinds are built.
  ~CCanSource() override = 0;

  // [processing] Goes on bus with an empty queue; false (and nothing done) without a channel.
  virtual bool start();
  // [processing] Goes off bus.
  virtual bool stop();
  // [processing] Moves every queued message into batch(), oldest first.
  virtual bool fetch();
  // [ui] Acquisition of the host started / stopped.
  virtual void set_running(bool running) { m_running = running; }
  virtual bool has_settings() { return false; }
  // [any] Why the host's summary shows what it shows for the source, where it would puzzle a
  // person; empty for a source that records what it receives.
  virtual const wchar_t* statistics_note() const noexcept { return L""; }
  virtual void show_settings() {}

  int bus_channel() const noexcept override { return m_channel; }

  // [reception] The plain receive handler: queues the message while the source is active.
  bool on_message(const CanMessage& message);
  // [ui] Frames of `frameSeconds` from now on: the queue takes what the channel can carry in two
  // of them at its densest (empty frames back to back, FrameTiming.h), and at least kMaxQueued.
  // 1 Mbit/s and 2 s frames: 85,107 messages (a 100 % busy bus brings 36,364 a frame).
  void size_queue(double frameSeconds);
  // [any] Messages the queue holds at most.
  std::size_t queue_bound() const noexcept { return m_maxQueued.load(std::memory_order_relaxed); }

  // [processing] The records of the last fetch (owned by the source, valid until the next fetch).
  std::vector<CanRecord>& batch() noexcept { return m_batch; }
  // [any] Messages queued since the last start.
  // [any] Messages the channel received since the last start: queued, or lost to a full queue
  // (the driver's or this source's).
  std::uint32_t received() const noexcept;
  // [any] Of those, the messages lost because a queue was full.
  std::uint32_t overflow() const noexcept;
  // [any] Messages received and not yet fetched.
  std::size_t queued();

  // [any] The configuration the source was built with; it never changes (a changed row of the
  // settings builds a new source).
  // 0 standard, 1 vehicle simulation, 2 sequencer.
  int type() const noexcept { return m_type; }
  // Channel opened in CAN FD mode.
  bool fd() const noexcept { return m_fd; }
  XeCanDriverKvaser::bitrate_t bitrate() const noexcept { return m_bitrate; }
  XeCanDriverKvaser::fd_arbitrationrate_t fd_arbitration() const noexcept {
    return m_fdArbitration;
  }
  XeCanDriverKvaser::fd_datarate_t fd_data() const noexcept { return m_fdData; }

 protected:
  // [any] Acquisition of the host running (set_running).
  bool acquisition_running() const noexcept { return m_running; }
  // [reception] Appends a copy of the message to the queue under the lock and counts it.
  void enqueue(const CanMessage& message);
  // [reception] The same, for a caller that holds m_lock.
  void enqueue_locked(const CanMessage& message) REQUIRES(m_lock);
  // [processing] Drops every queued message and releases the queue's storage.
  void discard_queue();
  // [ui] Goes off bus, releases the reception thread and stops the controller, once. Derived
  // destructors call it first, so that no read monitor runs while their members are destroyed.
  void shutdown_reception();

  XeCanDriverKvaser::CanIo m_io;
  XeCanDriverKvaser::CanControl m_control;
  // Guards m_queue, and for the standard source its statistics and range table; held only for
  // container operations, never while calling the host.
  CCriticalSection m_lock;

 private:
  void log_off_bus(int stateBefore, bool result);

  const int m_type;     // see type()
  const int m_channel;  // driver channel; negative: the source has no channel
  const bool m_fd;
  const XeCanDriverKvaser::bitrate_t m_bitrate;
  const XeCanDriverKvaser::fd_arbitrationrate_t m_fdArbitration;
  const XeCanDriverKvaser::fd_datarate_t m_fdData;
  std::atomic<bool> m_running{false};  // acquisition running (written [ui], read [any])

  // Received, not yet fetched. A vector swapped with the batch in fetch: both keep their capacity,
  // so the steady state allocates nothing per message.
  std::vector<CanRecord> m_queue GUARDED_BY(m_lock);
  std::vector<CanRecord> m_batch;
  std::atomic<std::uint32_t> m_received{0};
  std::atomic<std::uint32_t> m_overflow{0};  // of m_received, not queued: the queue was full
  std::atomic<std::size_t> m_maxQueued{kMaxQueued};  // see size_queue
  std::uint64_t m_driverLostAtStart = 0;             // m_control.Lost() when the source started
  host::LogThrottle m_overflowLog;                   // [processing]
  std::uint32_t m_overflowLogged = 0;  // [processing] m_overflow counted into the throttle
  bool m_shutDown = false;
};
