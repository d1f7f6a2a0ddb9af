#pragma once
// One handle on one CAN channel. Several handles may be open on the same channel at once (the
// source module keeps one per channel for the channel time, and each source has its own); each
// goes on and off bus by itself, and each receives for the controller built on it.
//
// Threads: [ui] and [processing] call Open, Close, GoOnBus, GoOffBus, TimeStamp, never two at a
// time on one handle. A CanControl stays with the CanIo object it was built on: moving a handle
// moves its channel and open state, not the controller.
#include <cstdint>
#include <memory>
#include <optional>

#include "host/candriver/CanMessage.h"
#include "host/candriver/CanPort.h"
#include "host/candriver/CanRates.h"

namespace XeCanDriverKvaser {

class CanControl;

class CanIo {
 public:
  // [ui, processing] A closed handle on `channel` (negative: no channel; Open fails).
  explicit CanIo(int channelNumber);
  CanIo(CanIo&& other) noexcept;
  CanIo& operator=(CanIo&& other) noexcept;
  CanIo(const CanIo&) = delete;
  CanIo& operator=(const CanIo&) = delete;
  // Closes the handle.
  ~CanIo();

  // Values of `state`.
  static constexpr int kClosed = 0;
  static constexpr int kOffBus = 1;  // open, off bus
  static constexpr int kOnBus = 2;

  int channel;          // the channel number
  int state = kClosed;  // kClosed, kOffBus or kOnBus

  // [ui, processing] Opens (or reopens) the channel with CAN FD on or off, the classic bit rate
  // (used without FD) and the FD arbitration and data rates (used with FD). False, logged, for an
  // unknown rate code, a channel the configuration does not have, or a backend that fails.
  bool Open(bool fd, bitrate_t bitrate, fd_arbitrationrate_t arbitration, fd_datarate_t data);
  // [ui, processing] Goes off bus and closes; true.
  bool Close();
  // [ui, processing] False when the handle is not open or the backend cannot join the bus.
  bool GoOnBus();
  // [ui, processing] True; a closed handle is off bus already.
  bool GoOffBus();
  // [ui, processing] The channel time in ticks of 125 µs (the clock of the message timestamps),
  // as a signed 32-bit value that wraps; 0 when the handle is not open.
  std::int32_t TimeStamp() const;
  // [ui, processing] Puts a message on the bus from this handle (see CanControl::Send).
  bool Send(const CanMessage& message);

 private:
  friend class CanControl;
  // The rates of Open as bit/s; nullopt (logged) for an unknown code.
  static std::optional<detail::BusParams> ToBusParams(int channel, bool fd, bitrate_t bitrate,
                                                      fd_arbitrationrate_t arbitration,
                                                      fd_datarate_t data);

  void SetPort(std::unique_ptr<detail::CanPort> port);

  std::unique_ptr<detail::CanPort> m_port;
  CanControl* m_control = nullptr;
};

// [any] The rates the first open handle on `channel` was opened with (the host sizes its data
// for them); nullopt while no handle on the channel is open.
std::optional<detail::BusParams> OpenBusParams(int channel);

}  // namespace XeCanDriverKvaser
