#include "dialogs/CCanSequencerDlg.h"

#include "dialogs/DialogResources.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CSwitchResourceDefault.h"

IMPLEMENT_DYNAMIC(CCanSequencerDlg, CDialog3d)

BEGIN_MESSAGE_MAP(CCanSequencerDlg, CDialog3d)
ON_BN_CLICKED(can::IDC_ONE_SHOT, &CCanSequencerDlg::OnOneShot)
ON_BN_CLICKED(can::IDC_OPTIONS, &CCanSequencerDlg::OnOptions)
END_MESSAGE_MAP()

// The source builds its window before it reads its settings, so the fields start from the
// source's values at the first opening rather than here.
CCanSequencerDlg::CCanSequencerDlg(ISequencerSourceAccess& source)
    : CDialog3d(&can::ExtensionModule(), can::IDD_SEQUENCER), m_owner(source) {}

void CCanSequencerDlg::show() {
  if (m_open && IsOpen()) {
    BringWindowToTop();
    return;
  }
  const SequencerValues values = m_owner.values();
  m_timerResolution = values.timerResolution;
  m_regularActive = values.regularActive ? 1 : 0;
  m_executeAtStart = values.executeAtStart ? 1 : 0;
  if (!DisplayDialog()) return;
  CSwitchResourceDefault resources(can::ExtensionModule());
  UpdateData(FALSE);
  m_open = true;
}

void CCanSequencerDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Check(pDX, can::IDC_EXECUTE_AT_START, m_executeAtStart);
  DDX_Check(pDX, can::IDC_REGULAR_ACTIVE, m_regularActive);
  DDX_Text(pDX, can::IDC_TIMER, m_timerResolution);
}

// A timer text that is not an integer is refused with the framework's message; the check boxes
// are applied all the same, with the previous resolution.
void CCanSequencerDlg::apply() {
  UpdateData(TRUE);
  m_owner.apply_settings({m_timerResolution, m_regularActive != 0, m_executeAtStart != 0});
}

void CCanSequencerDlg::OnApply() {
  apply();
}

void CCanSequencerDlg::OnOK() {
  apply();
  m_open = false;
  DestroyWindow();
}

void CCanSequencerDlg::OnCancel() {
  m_open = false;
  DestroyWindow();
}

void CCanSequencerDlg::OnOneShot() {
  m_owner.one_shot();
}

void CCanSequencerDlg::OnOptions() {
  m_owner.options();
}
