#pragma once
// A handle on a replay channel (backend "replay"): it plays a log of any format (CanLogReader)
// to its controller, every time from the start when it goes on bus. Frame i is due at
//   on-bus time + round((log time i - log time of the first frame) / 125 µs) ticks
// so the timestamps keep the log's spacing to the tick; the host clock sets the pace (real time,
// or as fast as a manual clock is stepped). Every frame of the log is played, and one frame ends
// no sooner than its time on the wire after the one before (at the channel's rates, without
// stuff bits: FrameTiming.h). Where the log's times are closer than the bus carries frames
// (whole-second or equal timestamps), frames are delivered in order at the earliest time the
// wire permits after their logged time. How many were late, and the latest, is reported once,
// when the log has played or the channel leaves the bus:
//   candriver: channel 0: drive.log: 12965 frames played later than logged, the wire being busy
//   with the frames before them (times too close, or out of order), at most 0.320178 s (line
//   2971); none dropped
// Frames come in time order: the log is read up to kReorderNs ahead of the frame handed out next
// (at most kReorderFrames frames, so that memory stays bounded whatever the log's times), so a
// merged log whose interfaces are slightly out of step plays sorted (equal times keep the log's
// order). A frame stamped earlier than one already handed out (further out of order than the
// window) plays next, as soon as the wire is free. The first frame played is the earliest of the
// log's first window. Unreadable lines (BLF: objects) are skipped and reported with file and
// place (the first at once, then at most one line a second with the count since the line before);
// error frames are skipped; CAN FD frames on a channel opened without CAN FD are skipped and
// counted in one log line at the end of the log. A replay channel sends nothing.
// A channel given the log's spool (ChannelConfig::spool: canhost run --replay has read the log
// through before the run) plays the spooled frames instead of parsing the file's text again, with
// the same timing, order, window and reports; the log then holds no unreadable line.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanPort.h"
#include "host/candriver/ClockWaiter.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/LogSpool.h"
#include "host/services/LogThrottle.h"

namespace XeCanDriverKvaser::detail {

class ReplayPort final : public CanPort {
 public:
  // How far the log is read ahead to put frames into time order.
  static constexpr std::int64_t kReorderNs = 1'000'000'000;
  // At most this many frames are read ahead (about 13 MB): six buses at full load for the whole
  // window. A log whose window holds more (equal timestamps by the hundred thousand) plays the
  // earliest of the window on; none is lost while the log is in time order.
  static constexpr std::size_t kReorderFrames = std::size_t{1} << 17;

  // [ui] Checks the options of a replay channel line (file=, interface=).
  static std::string Check(const ChannelConfig& config);
  // [ui, processing] Opens the log (false, logged, when it cannot be read).
  static std::unique_ptr<CanPort> Open(const ChannelConfig& config, const BusParams& params);

  ReplayPort(int channel, const BusParams& params, const ChannelClock& clock,
             std::filesystem::path file, std::string interface,
             std::shared_ptr<const LogSpool> spool = nullptr);

  void Wait() override;
  void Interrupt() noexcept override { m_waiter.Wake(); }
  bool Finished() const noexcept override { return m_finished.load(); }
  std::int64_t NextDueNs() const noexcept override { return m_nextDueNs.load(); }

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
    int line;             // the line of a text log, the object of a BLF log
    bool object;          // `line` counts objects
    CanMessage message;
    bool operator>(const Ahead& other) const noexcept {
      return timeNs != other.timeNs ? timeNs > other.timeNs : order > other.order;
    }
  };
  // The frames read in time order, first in first out: a ring that doubles when full and keeps its
  // room (a std::deque allocated a block every four frames, a tenth of the replay's time).
  class InOrder {
   public:
    bool empty() const noexcept { return m_count == 0; }
    std::size_t size() const noexcept { return m_count; }
    const Ahead& front() const noexcept { return m_ring[m_head]; }
    const Ahead& back() const noexcept {
      return m_ring[(m_head + m_count - 1) & (m_ring.size() - 1)];
    }
    void push_back(const Ahead& ahead);
    void pop_front() noexcept {
      m_head = (m_head + 1) & (m_ring.size() - 1);
      --m_count;
    }
    void clear() noexcept { m_head = m_count = 0; }

   private:
    std::vector<Ahead> m_ring;  // a power of two in size
    std::size_t m_head = 0;
    std::size_t m_count = 0;
  };
  bool ReadNext();
  bool ReadAhead();
  bool ReadAheadSpooled();
  // Whether a frame of the log plays on this channel (CAN FD frames on one without are counted).
  bool Playable(const CanMessage& message) noexcept;
  // The reorder window: frames held, the earliest of them, taking it into m_next.
  void Hold(const Ahead& ahead);
  std::size_t Held() const noexcept { return m_inOrder.size() + m_ahead.size(); }
  const Ahead& Earliest() const noexcept;
  void TakeEarliest();
  void Restart();
  void Finish();
  // Lines of one kind that are skipped (unreadable): the first is reported at once, then at most
  // one line a second with the count since the line before.
  struct Skips {
    const wchar_t* what;  // "unreadable lines"
    std::wstring last;    // the report of the last one skipped
    host::LogThrottle throttle;
  };
  void Skip(Skips& skips, std::wstring report);
  void ReportSkips(const Skips& skips, std::uint64_t n) const;
  void ReportShift();

  const std::filesystem::path m_file;
  const std::string m_interface;  // log channel to play; empty: all
  ClockWaiter m_waiter;

  std::mutex m_mutex;  // guards the three below
  bool m_active = false;
  std::int64_t m_onBusNs = 0;
  std::uint64_t m_starts = 0;
  std::atomic<bool> m_finished{false};            // the current run handed out its last frame
  std::atomic<std::int64_t> m_nextDueNs{kNever};  // see NextDueNs

  // The reception thread's own.
  CanLogReader m_reader;
  CanLogEntry m_entry;
  std::optional<LogSpool::Reader> m_spooled;  // set: the frames come from the spool
  SpooledFrame m_frame;
  int m_spooledInterface = LogSpool::kNoChannel;  // spool's index of m_interface
  // The frames of the reorder window: those read in time order, and a min-heap of the others.
  InOrder m_inOrder;
  std::vector<Ahead> m_ahead;
  std::uint64_t m_read = 0;  // frames read ahead so far
  bool m_eof = false;
  std::int64_t m_latestLogNs = 0;  // latest log time read
  std::uint64_t m_startsSeen = 0;
  std::int64_t m_startNs = 0;  // on-bus time of the current run
  bool m_pending = false;      // m_next is the next frame
  Ahead m_next{};
  bool m_done = true;  // log played to its end (or not started)
  bool m_haveFirst = false;
  std::int64_t m_firstLogNs = 0;
  std::int64_t m_pendingDue = 0;  // host time the pending frame ends on the wire and is stamped
  std::int64_t m_wireFree = 0;    // end of the frame before on the wire (kNever: none yet)
  std::int64_t m_lastDue = 0;     // handed out at or after this (keeps log order)
  std::uint64_t m_skippedFd = 0;
  std::int64_t m_maxShift = 0;  // largest delay of a frame behind its logged time, ns
  int m_maxShiftLine = 0;
  bool m_maxShiftObject = false;
  bool m_shiftReported = true;
  std::uint64_t m_shifted = 0;  // frames played later than logged
  Skips m_unreadable{L"unreadable lines", {}, {}};
};

}  // namespace XeCanDriverKvaser::detail
