#pragma once
// A handle on a replay channel (backend "replay"): it plays a log of any format (CanLogReader)
// to its controller, every time from the start when it goes on bus. Frame i is due at
//   on-bus time + round((log time i - log time of the first frame) / 125 µs) ticks
// so the timestamps keep the log's spacing to the tick; the host clock sets the pace (real time,
// or as fast as a manual clock is stepped). Frames come in time order: the log is read up to
// kReorderNs ahead of the frame handed out next, so a merged log whose interfaces are slightly
// out of step plays sorted (equal times keep the log's order). A frame stamped earlier than one
// already handed out is beyond that window: it is logged with file and line and skipped. The
// first frame played is the earliest of the log's first window. Unreadable lines (BLF: objects)
// are logged with file and place and skipped; error frames are skipped; CAN FD frames on a channel opened without
// CAN FD are skipped and counted in one log line at the end of the log. A replay channel sends
// nothing.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanPort.h"
#include "host/candriver/ClockWaiter.h"
#include "host/candriver/DriverConfig.h"

namespace XeCanDriverKvaser::detail {

class ReplayPort final : public CanPort {
 public:
  // How far the log is read ahead to put frames into time order.
  static constexpr std::int64_t kReorderNs = 1'000'000'000;

  // [ui] Checks the options of a replay channel line (file=, interface=).
  static std::string Check(const ChannelConfig& config);
  // [ui, processing] Opens the log (false, logged, when it cannot be read).
  static std::unique_ptr<CanPort> Open(const ChannelConfig& config, const BusParams& params);

  ReplayPort(int channel, const BusParams& params, const ChannelClock& clock,
             std::filesystem::path file, std::string interface);

  void Wait() override;
  void Interrupt() noexcept override { m_waiter.Wake(); }
  bool Finished() const noexcept override { return m_finished.load(); }

 protected:
  bool DoGoOnBus() override;
  void DoGoOffBus() override;
  bool DoSend(const CanMessage&) override { return false; }
  FetchResult DoFetch(CanMessage* out, std::size_t capacity) noexcept override;

 private:
  // A frame read ahead, waiting in the reorder window.
  struct Ahead {
    std::int64_t timeNs;
    std::uint64_t order;  // reading order: keeps equal times in log order
    int line;
    CanMessage message;
    bool operator>(const Ahead& other) const noexcept {
      return timeNs != other.timeNs ? timeNs > other.timeNs : order > other.order;
    }
  };
  bool ReadNext();
  bool ReadAhead();
  void Restart();
  void Finish();

  const std::filesystem::path m_file;
  const std::string m_interface;  // log channel to play; empty: all
  ClockWaiter m_waiter;

  std::mutex m_mutex;  // guards the three below
  bool m_active = false;
  std::int64_t m_onBusNs = 0;
  std::uint64_t m_starts = 0;
  std::atomic<bool> m_finished{false};  // the current run handed out its last frame

  // The reception thread's own.
  CanLogReader m_reader;
  CanLogEntry m_entry;
  std::vector<Ahead> m_ahead;  // min-heap on time; the frames of the reorder window
  std::uint64_t m_read = 0;    // frames read ahead so far
  bool m_eof = false;
  std::int64_t m_latestLogNs = 0;  // latest log time read
  std::int64_t m_playedLogNs = 0;  // log time of the frame handed out last
  bool m_played = false;
  std::uint64_t m_startsSeen = 0;
  std::int64_t m_startNs = 0;  // on-bus time of the current run
  bool m_pending = false;      // m_next is the next frame
  Ahead m_next{};
  bool m_done = true;  // log played to its end (or not started)
  bool m_haveFirst = false;
  std::int64_t m_firstLogNs = 0;
  std::int64_t m_pendingDue = 0;  // host time the pending frame is stamped with
  std::int64_t m_lastDue = 0;     // handed out at or after this (keeps log order)
  std::uint64_t m_skippedFd = 0;
};

}  // namespace XeCanDriverKvaser::detail
