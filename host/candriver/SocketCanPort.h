#pragma once
// A handle on a Linux CAN interface (backend "socketcan"): a raw CAN socket bound to the
// interface, CAN FD frames enabled when the channel is opened in CAN FD mode (the interface must
// be CAN FD capable). The interface keeps the bit rate it was given with `ip link`; the rates of
// Open are not applied. Off bus the socket receives nothing (empty filter); frames are stamped
// with the host clock when read. Other sockets on the interface (another channel mapped to it,
// candump, cansend) see what is sent here.
#include <memory>
#include <string>

#include "host/candriver/CanPort.h"
#include "host/candriver/DriverConfig.h"

namespace XeCanDriverKvaser::detail {

class SocketCanPort final : public CanPort {
 public:
  // [ui] Checks the options of a socketcan channel line (interface=).
  static std::string Check(const ChannelConfig& config);
  // [ui, processing] Opens the socket; null, logged, when the interface is missing or unfit.
  static std::unique_ptr<CanPort> Open(const ChannelConfig& config, const BusParams& params);

  SocketCanPort(int channel, const BusParams& params, const ChannelClock& clock, int socket,
                int event, std::string interface);
  ~SocketCanPort() override;

  void Wait() override;
  void Interrupt() noexcept override;

 protected:
  bool DoGoOnBus() override;
  void DoGoOffBus() override;
  bool DoSend(const CanMessage& message) override;
  FetchResult DoFetch(CanMessage* out, std::size_t capacity) noexcept override;

 private:
  const int m_socket;
  const int m_event;  // eventfd that ends a Wait
  const std::string m_interface;
  bool m_readFailed = false;
};

}  // namespace XeCanDriverKvaser::detail
