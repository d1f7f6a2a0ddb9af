#pragma once
// The sink's "CAN Decoding" dialog: one row per bus channel that has a CAN source (named after
// the first one attached), the channel's decoder class chosen in a combo over the list's global
// strings ("—" id -1 for none, decoder class k id k), a link to the decoder's own settings, and the
// time-out for message update. The columns fill the list's width, after layout and whenever the
// window is resized. Apply hands the choices to the sink and has it re-apply its settings; during a
// measurement the sink's processing takes them up at its next block, so OK, Apply and the links
// stay live. Runs on [ui] only.
#include <vector>

#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "sink/ISinkAccess.h"

class CCanSinkDlg : public CDialog3d, public ISinkDialog {
  DECLARE_DYNAMIC(CCanSinkDlg)

 public:
  explicit CCanSinkDlg(ISinkAccess& sink, CDialog3d* parent = nullptr);

  // Opens the dialog with the combo choices and the table rebuilt from the sink, or brings it to
  // the top when open.
  void ShowDialog();
  void show() override { ShowDialog(); }
  // A source was bound or unbound: the open window lists the channels again (choices not yet
  // applied are shown as the sink has them).
  void refresh() override;
  unsigned int timeout() const noexcept override { return m_timeout; }
  void set_timeout(unsigned int seconds) noexcept override { m_timeout = seconds; }

  CXListCtrl m_list;  // control 2006

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;
  void OnApply() override;
  LRESULT OnLink(WPARAM row, LPARAM column);
  LRESULT OnSize(WPARAM type, LPARAM size);
  DECLARE_MESSAGE_MAP()

 private:
  void fill_table();
  void add_row(const SinkChannel& channel);
  void apply();

  bool m_open = false;
  // Edit copy of the sink's time-out, seconds; control 2015. The sink sets it when it reads its
  // settings and takes it over when it applies them.
  UINT m_timeout = 0;
  ISinkAccess& m_sink;
  // The decoder classes in the sink's registry order: global combo string k is class k. Taken at
  // each opening.
  std::vector<CRuntimeClass*> m_classes;
};
