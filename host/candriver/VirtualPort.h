#pragma once
// A handle on a virtual channel (backend "virtual"): a node of a VirtualBus. It sends into the
// bus's schedule and reads the frames that went over the bus, so the read monitors see one
// monotonic stream as on a real bus.
#include <memory>
#include <mutex>
#include <string>

#include "host/candriver/CanPort.h"
#include "host/candriver/ClockWaiter.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/VirtualBus.h"
#include "host/services/LogThrottle.h"

namespace XeCanDriverKvaser::detail {

class VirtualPort final : public CanPort {
 public:
  // [ui] Checks the options of a virtual channel line (bus=).
  static std::string Check(const ChannelConfig& config);
  // [ui, processing] Opens a handle on the channel's bus.
  static std::unique_ptr<CanPort> Open(const ChannelConfig& config, const BusParams& params);

  VirtualPort(int channel, const BusParams& params, const ChannelClock& clock,
              std::shared_ptr<VirtualBus> bus);
  ~VirtualPort() override;

  void Wait() override;
  void Interrupt() noexcept override { m_waiter.Wake(); }
  // What the others (and this port) sent is what changes the bus's timeline.
  std::uint64_t PendingSeq() const override { return m_bus->Sends(); }

 protected:
  bool DoGoOnBus() override;
  void DoGoOffBus() override;
  bool DoSend(const CanMessage& message) override;
  FetchResult DoFetch(CanMessage* out, std::size_t capacity) noexcept override;

 private:
  void Report(std::uint64_t count, const wchar_t* cause, std::size_t bound,
              const wchar_t* unit) const noexcept;

  const std::shared_ptr<VirtualBus> m_bus;
  ClockWaiter m_waiter;

  // The reception thread's own.
  std::int64_t m_nextNs = kNever;  // when the next frame will have ended
  host::LogThrottle m_lostLog;
};

}  // namespace XeCanDriverKvaser::detail
