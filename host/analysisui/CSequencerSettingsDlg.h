#pragma once
// The OBD-II tester's settings window over its model (CSequencerSettingsModel.h): the timer
// period and the request table (kind, identifier, payload, separation time, block size; every
// cell edited in place), Add (after the selected row) and Remove (the selected rows; also the
// Delete key). Below the table the first problem of the list, naming its line; OK is refused
// while there is one. OK leaves the model for the tester to save; Cancel drops it. [ui] only.
#include "host/obd/CSequencerSettingsModel.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"

class CSequencerSettingsDlg : public CDialog3d {
 public:
  explicit CSequencerSettingsDlg(XeCanAnalysis::CSequencerSettingsModel& model);
  // True once closed by OK.
  bool Accepted() const noexcept { return m_accepted; }
  CXListCtrl& List() noexcept { return m_list; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;

 private:
  void OnAdd();
  void OnRemove();
  void OnTimer();
  void OnKey(NMHDR* hdr, LRESULT* result);
  LRESULT OnEditEnd(WPARAM row, LPARAM column);
  LRESULT OnComboSelection(WPARAM row, LPARAM column);
  void Fill();
  void FillRow(int row);
  // Shows the first problem, or a summary; false when there is a problem.
  bool Check();

  XeCanAnalysis::CSequencerSettingsModel& m_model;
  CXListCtrl m_list;
  bool m_accepted = false;

  DECLARE_MESSAGE_MAP()
};
