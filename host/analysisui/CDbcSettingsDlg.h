#pragma once
// The DBC decoder's settings window over its model (CDbcSettingsModel.h): the DBC file (path field,
// Browse... through the host's file chooser, Load), the file's state or the reason it was not
// taken, and a table of its signals (identifier, message, signal, unit, factor, offset,
// multiplexing) with the application signal each delivers chosen in a combo ("—" for none). The
// search field keeps the rows whose message, signal or application signal contains its text. OK
// leaves the edits in the model for the decoder to apply; Cancel drops them. [ui] only.
#include <vector>

#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"

class CDbcSettingsDlg : public CDialog3d {
 public:
  // Table columns.
  enum Column { kId, kMessage, kSignal, kUnit, kFactor, kOffset, kMux, kAppSignal, kColumns };

  explicit CDbcSettingsDlg(XeCanAnalysis::CDbcSettingsModel& model);
  // True once closed by OK.
  bool Accepted() const noexcept { return m_accepted; }
  CXListCtrl& List() noexcept { return m_list; }
  // The model row each table row shows.
  const std::vector<std::size_t>& Shown() const noexcept { return m_shown; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;

 private:
  void OnBrowse();
  void OnLoad();
  void OnSearch();
  LRESULT OnComboSelection(WPARAM row, LPARAM column);
  // Takes the file, or shows why not and keeps the one before.
  bool Load(const CString& path);
  void Fill();
  void FillRow(int row, const XeCanAnalysis::CDbcSettingsModel::Row& signal);
  std::vector<CString> Choices(int appSignal) const;
  void ShowState();

  XeCanAnalysis::CDbcSettingsModel& m_model;
  CXListCtrl m_list;
  std::vector<std::size_t> m_shown;
  CString m_loadError;
  bool m_accepted = false;

  DECLARE_MESSAGE_MAP()
};
