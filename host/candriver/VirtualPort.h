#pragma once
// A handle on a virtual channel (backend "virtual"). Messages of the other members arrive through
// a queue, the bus's generator frames are computed here when due; both are merged in time order,
// so the read monitors see one monotonic stream as on a real bus.
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanPort.h"
#include "host/candriver/ClockWaiter.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/VirtualBus.h"

namespace XeCanDriverKvaser::detail {

class VirtualPort final : public CanPort {
 public:
  // Messages kept for a controller that does not keep up; more are counted as lost and logged.
  static constexpr std::size_t kMaxQueued = 65536;

  // [ui] Checks the options of a virtual channel line (bus=).
  static std::string Check(const ChannelConfig& config);
  // [ui, processing] Opens a handle on the channel's bus.
  static std::unique_ptr<CanPort> Open(const ChannelConfig& config, const BusParams& params);

  VirtualPort(int channel, const BusParams& params, const ChannelClock& clock,
              std::shared_ptr<VirtualBus> bus);
  ~VirtualPort() override;

  void Wait() override;
  void Interrupt() noexcept override { m_waiter.Wake(); }
  std::uint64_t PendingSeq() const override;

  // Called by the bus, under its mutex.
  void Enqueue(std::int64_t hostNs, const CanMessage& message) noexcept;
  void Joined(std::int64_t hostNs) noexcept;
  void Left() noexcept;

 protected:
  bool DoGoOnBus() override;
  void DoGoOffBus() override;
  bool DoSend(const CanMessage& message) override;
  FetchResult DoFetch(CanMessage* out, std::size_t capacity) noexcept override;

 private:
  struct Queued {
    std::int64_t hostNs;
    CanMessage message;
  };
  struct Cursor {
    const TrafficGenerator* generator;
    std::int64_t period;  // next period to hand out
    std::size_t frame;    // next frame of that period
  };
  void Emit(const CanMessage& message, std::int64_t hostNs, CanMessage& out) const noexcept;
  std::int64_t NextGeneratorDue(std::size_t* which) const noexcept;

  const std::shared_ptr<VirtualBus> m_bus;
  ClockWaiter m_waiter;

  // Guarded by the bus mutex.
  std::vector<Queued> m_queue;
  std::uint64_t m_queuedSeq = 0;  // messages queued so far
  std::uint64_t m_lost = 0;
  bool m_member = false;
  std::int64_t m_joinedNs = 0;
  std::uint64_t m_joins = 0;

  // The reception thread's own.
  std::vector<Queued> m_taken;
  std::size_t m_next = 0;
  std::uint64_t m_takenSeq = 0;  // m_queuedSeq when m_taken was taken
  std::int64_t m_now = 0;
  std::vector<Cursor> m_cursors;
  std::uint64_t m_joinsSeen = 0;
  std::uint64_t m_lostReported = 0;
};

}  // namespace XeCanDriverKvaser::detail
