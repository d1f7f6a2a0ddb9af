#pragma once
// What the sequencer source's settings dialog may do with its source: read the three values it
// edits, hand them back (OK and Apply), run the one-shot requests, open the sequencer's own
// settings and reach the holder of the sequencer. All of it works while acquisition runs.
#include <cstdint>
#include <memory>

#include "sources/AnalysisHolders.h"
#include "sources/ISettingsDialog.h"

struct SequencerValues {
  std::int32_t timerResolution = 10;  // "Timer resolution (ms):"; may be negative
  bool regularActive = false;         // "Active": the regular (timer) action
  bool executeAtStart = false;        // "Execute at start": the one-shot action at every start
};

class ISequencerSourceAccess {
 public:
  // [ui] The values in force (the dialog's fields start from them).
  virtual SequencerValues values() const = 0;
  // [ui] OK and Apply: takes the values, switches the sequencer's timer, stores them. A changed
  // timer resolution reaches a sequencer that exists only when the source is built again (the
  // log says so).
  virtual void apply_settings(const SequencerValues& values) = 0;
  // [ui] "One shot": the one-shot requests, if there is a sequencer.
  virtual void one_shot() = 0;
  // [ui] "Options...": the sequencer's own settings, or a message box before there is one.
  virtual void options() = 0;
  // [ui] Name, controller and (after the first start) the sequencer.
  virtual SequencerHolder& holder() noexcept = 0;

 protected:
  ~ISequencerSourceAccess() = default;
};

// Builds the window of one sequencer source; the window keeps the reference for its lifetime,
// which ends before the source's.
using SequencerDialogFactory = std::unique_ptr<ISettingsDialog> (*)(ISequencerSourceAccess& source);
