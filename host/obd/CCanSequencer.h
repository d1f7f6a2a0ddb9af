#pragma once
// An OBD-II tester on the bus of a CAN controller. Its requests come from its settings file
// (SequencerSettings.h) in the host's settings folder, written with the defaults when missing:
// while the timer runs, one regular request goes out per timer period, in turn; StartAction queues
// the one-shot requests, which go out one per period ahead of the regular ones (right away when the
// timer is idle). A first frame from an ECU (0x7E8..0x7EF) is answered with flow control to the
// ECU's physical identifier (answer identifier - 8), with the st= and bs= of the request it
// answers.
//
// Threads: every operation [ui, processing]; requests go out on the sequencer's timer thread,
// flow control on the controller's reception thread. No message is sent after ShutDown or the
// destructor returns.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "host/candriver/CanControl.h"
#include "host/mfc/CString.h"

namespace XeCanAnalysis {

class AnalysisTimer;

class CCanSequencer {
 public:
  // Wrong lines of the request file logged one by one; one more line counts the rest.
  static constexpr std::size_t kReportedProblems = 10;

  struct Statistics {
    std::uint64_t requests = 0;   // requests sent
    std::uint64_t answers = 0;    // positive answers received whole
    std::uint64_t negatives = 0;  // negative answers (7F)
    std::string vin;              // the last vehicle identification number received
  };

  // [ui] A tester named `name` on the bus of `control` (which must outlive it), timer stopped.
  CCanSequencer(const CString& name, XeCanDriverKvaser::CanControl* control);
  // [ui] ShutDown, then the timer thread ends.
  ~CCanSequencer();
  CCanSequencer(const CCanSequencer&) = delete;
  CCanSequencer& operator=(const CCanSequencer&) = delete;

  // [ui, processing] Timer period in ms (from now on; a running timer keeps its next due time).
  // Values below 1 are ignored.
  void SetTimer(int ms);
  // [ui, processing] Regular requests on / off. StopTimer leaves queued one-shot requests alone.
  void StartTimer();
  void StopTimer();
  // [ui, processing] Sends the one-shot requests once.
  void StartAction();
  // [ui] Opens the settings window when the host has one (CSequencerSettingsModel.h), which
  // saves the file on OK; then, and always in a host without one, reads the settings file again
  // (its problems are logged; the valid lines count). Cancel changes nothing.
  void ChangeSettings();
  // [ui, processing] Sends nothing more, for good.
  void ShutDown();

  // [any] A snapshot of the counters.
  Statistics GetStatistics() const;
  // [any] The settings file.
  const std::filesystem::path& SettingsFile() const noexcept { return m_file; }
  // [any] The timer period in force, ms.
  int TimerMs() const;

 private:
  void LoadSettings(bool writeDefaults);

  struct Core;
  std::filesystem::path m_file;
  std::shared_ptr<Core> m_core;  // shared with the read monitor, which outlives the sequencer
  std::unique_ptr<AnalysisTimer> m_timer;
};

}  // namespace XeCanAnalysis
