#pragma once
// What the host's main window shows and does, without the window: the modules with settings
// dialogs, the start and stop of a measurement, and its live summary. The window (Qt view) reads
// Snapshot() a few times a second; the measurement publishes it, so the window never waits for
// the processing thread. [ui] unless noted.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/ui/MessageSnapshot.h"
#include "host/ui/SignalSnapshot.h"

namespace ui {

class LogModel;

// What became of one source's messages since the start of the measurement: the columns of canhost
// run's summary, so that they add up on screen as they do there.
struct ChannelRow {
  int channel = 0;
  std::string source;           // the source's name
  std::uint64_t received = 0;   // = delivered + old + noRoom + future + waiting + overflow
  std::uint64_t delivered = 0;  // written into a frame
  std::uint64_t old = 0;        // dropped: too old for the frame
  std::uint64_t future = 0;     // discarded as implausibly far in the future
  std::uint64_t waiting = 0;    // kept for a later frame
  std::uint64_t noRoom = 0;     // in time, dropped: the region near its time was full
  std::uint64_t overflow = 0;   // lost to a full queue on its way
  std::string note;             // why the counts are what they are, when they would puzzle; or ""

  // Adds the counts of `o` (a total row).
  ChannelRow& operator+=(const ChannelRow& o) noexcept {
    received += o.received;
    delivered += o.delivered;
    old += o.old;
    future += o.future;
    waiting += o.waiting;
    noRoom += o.noRoom;
    overflow += o.overflow;
    return *this;
  }
};

// One section of the help window: a title and its text in Markdown.
struct HelpSection {
  std::string title;
  std::string markdown;
};

struct MeasurementSnapshot {
  bool running = false;
  std::uint64_t frames = 0;  // frames run since the start
  double seconds = 0.0;      // measured time: frames x frame length
  std::vector<ChannelRow> rows;
};

class IMainWindowModel {
 public:
  virtual ~IMainWindowModel() = default;
  // Names of the modules, in the order the window lists them.
  virtual std::vector<std::string> Modules() const = 0;
  // Opens module `index`'s settings dialog (or brings it to the top).
  virtual void ShowSettings(std::size_t index) = 0;
  // Opens the window of the CAN driver's channels (modal) and returns once it is closed: whether
  // it saved them. False without such a window.
  virtual bool ShowChannels() { return false; }
  // Sets up a replay measurement of a log (candump, ASC, BLF, TRC) on a channel of its own,
  // decoded with `dbc` when given (empty: none), ready to Start. True with what was done in
  // `message`; false with why not.
  virtual bool OpenLog(const std::string& log, const std::string& dbc, std::string& message) {
    (void)log, (void)dbc;
    message = "this host opens no logs";
    return false;
  }
  // The folder the settings are read from and saved to; empty: none.
  virtual std::string SettingsFolder() const { return {}; }
  // The sections of the help window, and the program's version for About.
  virtual std::vector<HelpSection> Help() const { return {}; }
  virtual std::string Version() const { return {}; }
  // Starts a real-time measurement; false with one line in `error` (nothing to measure, ...).
  virtual bool Start(std::string& error) = 0;
  // Stops it after the frame in progress.
  virtual void Stop() = 0;
  // [any] The latest published state.
  virtual MeasurementSnapshot Snapshot() const = 0;
  // [any] The decoded signals as last published; null when the model decodes nothing.
  virtual SignalSnapshotPtr Signals() const { return nullptr; }
  // [any] The traffic per channel and identifier as last published; null when the model keeps
  // none.
  virtual MessageSnapshotPtr Messages() const { return nullptr; }
  // The name of message `id` (bit 31: extended) in the DBC file of `channel`; "" when none.
  virtual std::string MessageName(int /*channel*/, std::uint32_t /*id*/) const { return {}; }
  // Every signal of message `id` of the DBC file of `channel`, decoded from `length` bytes.
  virtual std::vector<DecodedSignal> DecodeMessage(int /*channel*/, std::uint32_t /*id*/,
                                                   const std::uint8_t* /*data*/,
                                                   int /*length*/) const {
    return {};
  }
  // Charts signal `name` of message `id` of `channel` (as DecodeMessage names it) among the
  // decoded signals, or stops charting it; false when it cannot be charted.
  virtual bool ChartSignal(int /*channel*/, std::uint32_t /*id*/, const std::string& /*name*/,
                           bool /*on*/) {
    return false;
  }
  virtual bool Charted(int /*channel*/, std::uint32_t /*id*/, const std::string& /*name*/) const {
    return false;
  }
  // [any] The host log's lines for the window's log pane (shared); null: no pane.
  virtual std::shared_ptr<LogModel> Log() const { return nullptr; }
  // The window closes: stops the measurement and saves the settings; false with one line in
  // `error` when the settings could not be saved.
  virtual bool Close(std::string& error) = 0;
};

}  // namespace ui
