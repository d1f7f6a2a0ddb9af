#pragma once
// The host's windows for its analysis objects: while an object of this class lives, a DBC
// decoder's CallSettingsDialog opens the signal assignment window (CDbcSettingsDlg) and a
// tester's ChangeSettings its request list (CSequencerSettingsDlg), each modal (ui::RunModal)
// until the person closes it. A host with windows creates one; headless hosts create none and keep
// the responders they install themselves. [ui] only.
#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/obd/CSequencerSettingsModel.h"

namespace analysisui {

class AnalysisWindows {
 public:
  // Registers the windows' resources and installs them as the settings responders.
  AnalysisWindows();
  // Puts back the responders found at construction and unregisters the resources.
  ~AnalysisWindows();
  AnalysisWindows(const AnalysisWindows&) = delete;
  AnalysisWindows& operator=(const AnalysisWindows&) = delete;

 private:
  XeCanAnalysis::DbcSettingsResponder m_previousDbc;
  XeCanAnalysis::SequencerSettingsResponder m_previousSequencer;
};

}  // namespace analysisui
