#pragma once
// The small base every backend implements: one open handle on one channel. CanIo and CanControl
// keep the public behaviour (states, rate checks, the reception thread, the read monitors); a
// backend (virtual bus, log replay, SocketCAN) provides the protected operations below.
//
// Receiving is pull-based: the one controller attached to a port runs a reception thread that
// calls Fetch (never blocks) and Wait (blocks until Fetch may have more), so a backend needs no
// thread of its own and a message is copied once, into the controller's batch.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "host/candriver/CanMessage.h"
#include "host/candriver/ChannelClock.h"
#include "host/candriver/ClockWaiter.h"

namespace XeCanDriverKvaser::detail {

// The bus parameters a handle was opened with, as rates in bit/s.
struct BusParams {
  bool fd = false;
  std::int32_t bitrate = 0;      // classic bit rate (used when fd is false)
  std::int32_t arbitration = 0;  // CAN FD arbitration rate (used when fd is true)
  std::int32_t data = 0;         // CAN FD data rate (used when fd is true)

  // Two nodes can talk when they use the same mode and the same rates.
  bool SameBus(const BusParams& other) const noexcept {
    return fd == other.fd &&
           (fd ? arbitration == other.arbitration && data == other.data : bitrate == other.bitrate);
  }
  bool operator==(const BusParams&) const = default;
};

// What one Fetch handed out, and how far the delivery has come.
struct FetchResult {
  std::size_t count = 0;  // messages written
  // Messages of the channel lost before these: the port's receive queue was full.
  std::uint64_t lost = 0;
  // PendingSeq() as far as this Fetch has taken account of it.
  std::uint64_t seq = 0;
  // Every scheduled frame (log, generator) due at or before this host time has been handed out.
  std::int64_t through = kNever;
  // epoch() when the Fetch began.
  std::uint64_t epoch = 0;
};

class CanPort {
 public:
  CanPort(int channel, const BusParams& params, const ChannelClock& clock) noexcept
      : m_channel(channel), m_params(params), m_clock(clock) {}
  virtual ~CanPort() = default;
  CanPort(const CanPort&) = delete;
  CanPort& operator=(const CanPort&) = delete;

  int channel() const noexcept { return m_channel; }
  const BusParams& params() const noexcept { return m_params; }
  const ChannelClock& clock() const noexcept { return m_clock; }
  bool onBus() const noexcept { return m_onBus.load(); }
  bool receiving() const noexcept { return m_receiving.load(); }
  // [any] Changes after every bus-state change, so a progress report from before it is stale.
  std::uint64_t epoch() const noexcept { return m_epoch.load(); }

  // [ui, processing] Joins the bus; false when the backend cannot.
  bool GoOnBus();
  // [ui, processing] Leaves the bus: nothing more is received or sent.
  void GoOffBus();
  // [any] Puts a message on the bus: false when off bus, or when it is malformed or does not fit
  // the channel (CAN FD frame on a classic channel), or the backend cannot send.
  bool Send(const CanMessage& message);
  // [any] Current channel time in ticks.
  std::uint32_t TimeStamp() const noexcept;

  // [processing] A controller attached (true) or detached (false). A port keeps messages for
  // a controller only.
  void SetReceiving(bool receiving);
  // [reception] Up to `capacity` messages that are due, in reception order; never blocks.
  FetchResult Fetch(CanMessage* out, std::size_t capacity) noexcept;
  // [reception] Blocks until Fetch may have more or Interrupt is called.
  virtual void Wait() = 0;
  // [any] Ends the current or the next Wait.
  virtual void Interrupt() noexcept = 0;
  // [any] Counts what may bring the controller more by now than its last Fetch promised (messages
  // queued, frames sent on its bus); FetchResult::seq catches up with it.
  virtual std::uint64_t PendingSeq() const { return 0; }
  // [any] For a port that plays a recording: whether it has handed out the recording's last frame
  // since it last went on bus. Ports without an end never finish.
  virtual bool Finished() const noexcept { return false; }
  // [any] For a port that plays a recording and is on bus: the host time its next frame is due,
  // kNever once the last one was handed out. Up to date for the deliveries due by now once they
  // are done (WaitUntilDelivered). Ports without a recording: kNever.
  virtual std::int64_t NextDueNs() const noexcept { return kNever; }

  // [ui, processing] The driver configuration the port was opened with (CanDriver::Generation).
  std::uint64_t generation() const noexcept { return m_generation; }
  void set_generation(std::uint64_t generation) noexcept { m_generation = generation; }

 protected:
  virtual bool DoGoOnBus() = 0;
  virtual void DoGoOffBus() = 0;
  virtual bool DoSend(const CanMessage& message) = 0;
  virtual FetchResult DoFetch(CanMessage* out, std::size_t capacity) noexcept = 0;
  virtual void ReceivingChanged(bool /*receiving*/) {}

 private:
  const int m_channel;
  const BusParams m_params;
  const ChannelClock m_clock;
  std::atomic<bool> m_onBus{false};
  std::atomic<bool> m_receiving{false};
  std::atomic<std::uint64_t> m_epoch{0};
  std::uint64_t m_generation = 0;
};

}  // namespace XeCanDriverKvaser::detail
