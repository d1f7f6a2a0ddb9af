#pragma once
// The sink and its "CAN Decoding" window, each as the other sees it. The window lives in
// dialogs/, above the sink: the sink gets it from a factory that the plug-in's library entry
// installs, and works without one (nothing shown, the time-out kept as read).
#include <memory>
#include <vector>

#include "host/mfc/CString.h"

struct CRuntimeClass;

// One bus channel as the window lists it. The window never holds the decoder itself: a decoder
// replaced on another path would leave it dangling.
struct SinkChannel {
  int channel;         // bus channel, 0..
  CString name;        // name of the first attached CAN source on the channel
  CRuntimeClass* cls;  // class of the channel's decoder, null: none
  bool hasSettings;    // the decoder has settings of its own to show
};

class ISinkAccess {
 public:
  // [ui] Channels that have a decoder slot and an attached CAN source, ascending.
  virtual std::vector<SinkChannel> channels() const = 0;
  // [ui] The decoder classes a channel may have, in the order of the sink's class registry.
  virtual std::vector<CRuntimeClass*> decoder_choices() const = 0;
  // [ui] Gives `channel` a decoder of `cls` (null: none); a decoder of that class stays as it is.
  virtual void choose_decoder(int channel, CRuntimeClass* cls) = 0;
  // [ui] Runs the settings dialog of `channel`'s decoder; nothing without one.
  virtual void show_decoder_settings(int channel) = 0;
  // [ui] Takes the window's time-out over, re-offers the signals and stores the settings. While a
  // measurement runs, the processing thread takes the changes up at its next block.
  virtual void apply_settings() = 0;

 protected:
  ~ISinkAccess() = default;
};

class ISinkDialog {
 public:
  virtual ~ISinkDialog() = default;
  // [ui] Opens the window, or brings it to the top when it is open.
  virtual void show() = 0;
  // [ui] The channels changed (a source was bound or unbound): an open window lists them again.
  virtual void refresh() = 0;
  // [ui] The window's edit copy of the time-out, seconds (0: none).
  virtual unsigned int timeout() const noexcept = 0;
  virtual void set_timeout(unsigned int seconds) noexcept = 0;
};

// Builds the sink's window; the window keeps the reference for its lifetime, which ends before the
// sink's.
using SinkDialogFactory = std::unique_ptr<ISinkDialog> (*)(ISinkAccess& sink);
