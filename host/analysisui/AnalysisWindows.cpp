#include "host/analysisui/AnalysisWindows.h"

#include "host/analysisui/AnalysisResources.h"
#include "host/analysisui/CDbcSettingsDlg.h"
#include "host/analysisui/CSequencerSettingsDlg.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/ModalLoop.h"

namespace analysisui {

AnalysisWindows::AnalysisWindows() {
  CLibMgr::RegisterResources(HostModule(), &Resources());
  m_previousDbc = XeCanAnalysis::SetDbcSettingsResponder([](XeCanAnalysis::CDbcSettingsModel& m) {
    CDbcSettingsDlg dialog(m);
    return ui::RunModal(dialog) && dialog.Accepted();
  });
  m_previousSequencer =
      XeCanAnalysis::SetSequencerSettingsResponder([](XeCanAnalysis::CSequencerSettingsModel& m) {
        CSequencerSettingsDlg dialog(m);
        return ui::RunModal(dialog) && dialog.Accepted();
      });
}

AnalysisWindows::~AnalysisWindows() {
  XeCanAnalysis::SetSequencerSettingsResponder(std::move(m_previousSequencer));
  XeCanAnalysis::SetDbcSettingsResponder(std::move(m_previousDbc));
  CLibMgr::RegisterResources(HostModule(), nullptr);
}

}  // namespace analysisui
