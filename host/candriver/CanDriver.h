#pragma once
// The CAN driver's channel table. A channel number maps to a backend chosen by the driver
// configuration file "candriver.conf" in the host's settings folder; without the file, channels
// 0-3 are virtual channels on one virtual bus. The file is read when the first handle opens, and
// again on ReloadConfiguration(). Errors name the file and line in the driver log and leave the
// line out. "#" starts a comment; a value in double quotes may hold blanks.
//
//   channel <0..255> <backend> [offset=<ticks>] [drift=<ppm>] [<backend option>=<value> ...]
//   generator <virtual bus> id=<hex,...> period=<duration> [phase= length= data= fd= brs=]
//
// offset and drift give the channel's clock (ChannelClock.h); backends: virtual (bus=, default
// "default"), replay (file=, relative to the settings folder; interface= plays only that log
// channel), socketcan (interface=). Generator options: TrafficGenerator.h.
//
// Lines -> result:
//   channel 0 virtual                         -> channel 0 on virtual bus "default"
//   channel 1 virtual bus=body offset=8000 drift=-12.5
//                                             -> on bus "body"; clock 8000 ticks ahead, 12.5 ppm
//                                             slow
//   channel 2 replay file=drive.log interface=can1
//                                             -> plays the can1 frames of <settings>/drive.log
//   channel 3 socketcan interface=vcan0       -> Linux CAN interface vcan0
//   generator body id=123,18FEF100 period=10ms
//                                             -> every 10 ms on "body": 0x123, then extended
//                                                0x18FEF100, 8 bytes, a counter
//   generator body id=200 period=5ms length=64 fd=1 data=ramp
//                                             -> a 64-byte CAN FD frame every 5 ms
//   channel 4 serial                          -> error "unknown backend 'serial' (known: virtual,
//                                                replay, socketcan)"
//   channel 1 virtual                         -> (again) error "channel 1 is already configured at
//                                                <file>:<line>"
//   channel 5 replay                          -> error "a replay channel needs file="
//   channel 6 virtual speed=2                 -> error "unknown option 'speed' (known: bus)"
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/candriver/CanPort.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/VirtualBus.h"

namespace XeCanDriverKvaser {

// [any] Blocks until every frame that has ended on a virtual bus, and every log frame due, up to
// the host clock's current time has been handed to the read monitors of every controller on bus,
// and they have returned (a frame sent now ends after its transmission time: move the clock). False
// when that takes longer than `bound` of real time (a monitor that hangs). Not from a read monitor.
bool WaitUntilDelivered(std::chrono::milliseconds bound = std::chrono::seconds(30));

// [ui] Reads the driver configuration again (after the settings folder or the file changed).
// Open handles keep their backends; handles opened afterwards use the new configuration, and so
// does a controller's Start (CanControl::Start reopens a handle opened before).
void ReloadConfiguration();
// [ui] The same, only when the file's text (or its presence) differs from what was read last;
// whether it did. Nothing is read before the first handle opens.
bool ReloadConfigurationIfChanged();

// [ui] Makes `channel` replay the log `file` (without clock offset or drift), in place of what
// the configuration says for it, for the rest of the process; handles opened afterwards use it
// (canhost run --replay). With `spool` (the log's frames, read through already; the channel keeps
// it alive) the replay plays those instead of reading the file. An empty path drops the override.
void ReplayOnChannel(int channel, const std::filesystem::path& file,
                     std::shared_ptr<const LogSpool> spool = nullptr);

// [any] Whether a controller on bus on `channel` replays a log and has been handed the log's last
// frame (its read monitors may still be running on it: WaitUntilDelivered first). False for the
// other backends, and while no controller on the channel is on bus.
bool ReplayFinished(int channel);

// [any] For a controller on bus on `channel` that replays a log: the host time its next frame is
// due (after WaitUntilDelivered: the first frame not handed out yet), kNever once the log has
// played. Nullopt when no controller on the channel is on bus with a replay.
std::optional<std::int64_t> ReplayNextDue(int channel);

// [ui] Before a manual host clock jumps ahead by `deltaNs` over time in which nothing is to
// happen (canhost run --fast crossing a silence of a replayed log): every virtual bus moves its
// timeline on by as much (the frame on the wire, the frames waiting to be sent, the generators'
// next periods), so the jump carries no traffic and no generator period over the buses. Logs
// keep their times. Call it when everything due has been delivered (WaitUntilDelivered).
void SkipBusTime(std::int64_t deltaNs);

// [ui] While one lives (the frame loop of a --fast run, which alone moves the manual clock),
// WaitUntilDelivered hands out what is due on the calling thread, running the read monitors there,
// instead of waking the reception threads and waiting for them; the threads wait meanwhile. The
// messages, their order and the clock time the monitors see stay as the threads would give them.
class ScopedInlineDelivery {
 public:
  ScopedInlineDelivery();
  ~ScopedInlineDelivery();
  ScopedInlineDelivery(const ScopedInlineDelivery&) = delete;
  ScopedInlineDelivery& operator=(const ScopedInlineDelivery&) = delete;
};

namespace detail {

class CanDriver {
 public:
  // [any] The current host's driver.
  static CanDriver& Get();

  // [ui] See ReloadConfiguration and ReloadConfigurationIfChanged.
  void Reload();
  bool ReloadIfChanged();
  // [any] Counts the configurations read: a port opened under an older one is out of date.
  std::uint64_t Generation() const noexcept { return m_generation.load(); }
  // [ui, processing] Opens a port on a channel; null after logging why.
  std::unique_ptr<CanPort> Open(int channel, const BusParams& params);
  // [ui] See ReplayOnChannel.
  void SetReplay(int channel, const std::filesystem::path& file,
                 std::shared_ptr<const LogSpool> spool);
  // [ui, processing] The virtual bus of that name, made with its generators when first needed and
  // kept while a handle uses it.
  std::shared_ptr<VirtualBus> Bus(const std::string& name);
  // [ui] See SkipBusTime.
  void SkipBusTime(std::int64_t deltaNs);

 private:
  void LoadLocked();
  // The file's text, or why it cannot be read (missing, a folder, a FIFO, too large).
  static std::string Fingerprint(const std::filesystem::path& file);

  std::mutex m_mutex;
  bool m_loaded = false;
  std::string m_fingerprint;  // of the configuration read last
  std::atomic<std::uint64_t> m_generation{1};
  DriverConfig m_config;
  std::map<int, ChannelConfig> m_replays;  // channels replaying a log in place of m_config
  std::map<std::string, std::weak_ptr<VirtualBus>> m_buses;
};

}  // namespace detail
}  // namespace XeCanDriverKvaser
