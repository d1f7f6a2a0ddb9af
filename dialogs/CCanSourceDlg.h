#pragma once
// The "CAN-Bus" dialog of the source module: one table row per CAN source (type, name, channel,
// bus rates, settings link), Add / Remove, and the CAN bus delay. Apply turns the table into the
// module's sources: unchanged sources stay, changed ones are rebuilt, new rows become sources and
// sources without a row go. Runs on [ui] only.
#include <cstdint>

#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"

class CCanSourceModule;
class CCanSource;

class CCanSourceDlg : public CDialog3d {
  DECLARE_DYNAMIC(CCanSourceDlg)

 public:
  explicit CCanSourceDlg(CCanSourceModule* owner, CDialog3d* parent = nullptr);

  // Opens the dialog with the table rebuilt from the module, or brings it to the top when open.
  void ShowDialog();
  // Enables OK and Apply (acquisition stopped) or disables them (running), if the window exists.
  void EnableApply(bool enable);

  // The module's own names for the above.
  void show() { ShowDialog(); }
  void lock_editing(bool locked) {
    m_locked = locked;
    EnableApply(!locked);
  }
  bool editing_locked() const noexcept { return m_locked; }
  CCanSourceModule* owner() const noexcept { return m_module; }

  CXListCtrl m_list;  // control 1001
  // Configured CAN bus delay versus the USB time, ticks of 125 µs; control 2009.
  std::int32_t m_delay = 0;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;
  void OnApply() override;
  void OnAdd();
  void OnRemove();
  void OnClickList(NMHDR* hdr, LRESULT* result);
  LRESULT OnCheckbox(WPARAM row, LPARAM column);
  LRESULT OnLink(WPARAM row, LPARAM column);
  DECLARE_MESSAGE_MAP()

 private:
  void fill_table();
  void add_row(CCanSource* source, int id);
  void set_rate_combo(int row, bool fd, const CCanSource* source);
  void enable_remove();
  // False when a channel cell did not convert (rows before it are applied, the rest is not).
  bool apply();
  const CCanSource* source_of_row(int row) const;

  CCanSourceModule* m_module;
  bool m_open = false;
  bool m_locked = false;
};
