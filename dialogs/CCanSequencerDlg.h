#pragma once
// A sequencer source's "CAN Sequencer" dialog: the regular action (Active, timer resolution), the
// singular action (Execute at start, One shot) and the sequencer's own options. OK and Apply hand
// the three values to the source, which switches the sequencer's timer and stores them; they stay
// enabled while acquisition runs, so the regular action can be switched on and off and "Execute at
// start" changed during a measurement. Runs on [ui] only.
#include "host/ui/CDialog3d.h"
#include "sources/ISequencerSourceAccess.h"
#include "sources/ISettingsDialog.h"

class CCanSequencerDlg : public CDialog3d, public ISettingsDialog {
  DECLARE_DYNAMIC(CCanSequencerDlg)

 public:
  explicit CCanSequencerDlg(ISequencerSourceAccess& source);

  // Opens the dialog, or brings it to the top when it is open.
  void show() override;

  // The fields' values: the source's, taken at each opening; exchanged by OK and Apply.
  int m_executeAtStart = 0;    // check box 2016
  int m_regularActive = 0;     // check box 2011
  int m_timerResolution = 10;  // ms; edit 2015

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;
  void OnApply() override;
  void OnOneShot();
  void OnOptions();
  DECLARE_MESSAGE_MAP()

 private:
  void apply();

  bool m_open = false;
  ISequencerSourceAccess& m_owner;
};
