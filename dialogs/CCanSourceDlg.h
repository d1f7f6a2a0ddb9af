#pragma once
// The "CAN-Bus" dialog of the source module: one table row per CAN source (type, name, channel,
// bus rates, settings link), Add / Remove, Channels... (the host's window of the driver's
// channels, candriver.conf), and the CAN bus delay. Apply turns the table into the
// module's sources: unchanged sources stay, changed ones are rebuilt, new rows become sources and
// sources without a row go. Runs on [ui] only.
#include <cstdint>

#include <vector>

#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "source/ISourceModuleAccess.h"
#include "sources/ISettingsDialog.h"

class CCanSourceDlg : public CDialog3d, public ISettingsDialog {
  DECLARE_DYNAMIC(CCanSourceDlg)

 public:
  // The channels the driver has (candriver.conf: channel <0..255>).
  static constexpr int kMaxChannel = 255;

  explicit CCanSourceDlg(ISourceModuleAccess& module, CDialog3d* parent = nullptr);

  // Opens the dialog with the table rebuilt from the module, or brings it to the top when open.
  void ShowDialog();
  // Enables OK and Apply (acquisition stopped) or disables them (running), if the window exists.
  void EnableApply(bool enable);

  // The module's window: show opens it; refresh follows the acquisition (OK and Apply).
  void show() override { ShowDialog(); }
  void refresh() override { EnableApply(!m_module.running()); }
  bool apply_enabled() const noexcept { return !m_module.running(); }

  CXListCtrl m_list;  // control 1001
  // CAN bus delay versus the USB time, ticks of 125 µs; control 2009, the module's at each opening.
  std::int32_t m_delay = 0;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;
  void OnApply() override;
  void OnAdd();
  void OnRemove();
  void OnChannels();
  void OnClickList(NMHDR* hdr, LRESULT* result);
  LRESULT OnCheckbox(WPARAM row, LPARAM column);
  LRESULT OnLink(WPARAM row, LPARAM column);
  DECLARE_MESSAGE_MAP()

 private:
  void fill_table();
  // Columns as wide as their titles and contents.
  void fit_columns();
  void add_row(const SourceRow* source);
  void set_rate_combo(int row, bool fd, const SourceRow* source);
  void enable_remove();
  // False when a value was refused, each with a message box and marked: the delay (the table is
  // applied all the same), or a channel outside 0..kMaxChannel (rows before it are applied, the
  // rest is not).
  bool apply();
  // The module's source shown in `row`, or null for a row added here.
  const SourceRow* source_of_row(int row) const;

  ISourceModuleAccess& m_module;
  std::vector<SourceRow> m_rows;  // the module's sources at the last fill
  bool m_open = false;
};
