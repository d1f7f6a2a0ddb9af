#pragma once
// The standard source's settings dialog "CAN Standard Source": the channel's traffic (overall
// message rate, share of each identifier, share of each range) and the identifier range table,
// edited in place and normalised into a complete table on OK or Apply. Identifiers show in hex
// unless "Decimal IDs" is ticked (a view setting of every standard source, kept in the
// application settings); cells read either form (dialogs/IdText.h). Runs on [ui] only.
#include <cstdint>
#include <utility>
#include <vector>

#include "dialogs/IdText.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"
#include "sources/ISettingsDialog.h"
#include "sources/IStandardSourceAccess.h"
#include "sources/IdRange.h"

class CCanStandardSrcDlg : public CDialog3d, public ISettingsDialog {
  DECLARE_DYNAMIC(CCanStandardSrcDlg)

 public:
  explicit CCanStandardSrcDlg(IStandardSourceAccess& source);

  // Opens the dialog, or brings it to the top when it is open.
  void show() override;
  void close() { DestroyWindow(); }
  bool is_open() const noexcept { return IsOpen(); }
  // OK and Apply are enabled exactly while acquisition is not running: set at each opening, and
  // when the source's acquisition starts or stops (running_changed).
  bool apply_enabled() const noexcept { return !m_source.running(); }
  void running_changed(bool running) override { enable_apply(!running); }

  // Scheduled by the source's fetch: shows the message rate since the last refresh and every
  // ID's share, then has the source restart its counts. Does nothing while the dialog is closed,
  // so the counts keep growing until it opens.
  void refresh() override;

  // Rate field ("" when the refresh ran in the same millisecond as the previous one, or closed).
  CString rate_text() const { return GetDlgItemTextW(2015); }
  // (ID, share of all counted messages in percent), ascending by ID.
  const std::vector<std::pair<int, float>>& shares() const noexcept { return m_shares; }
  int refresh_count() const noexcept { return m_refreshes; }
  can::IdBase id_base() const noexcept { return m_base; }

  CXListCtrl m_idList;     // control 2017
  CXListCtrl m_rangeList;  // control 2018

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnApply() override;
  void OnRangeClick(NMHDR* hdr, LRESULT* result);
  void OnRangeKey(NMHDR* hdr, LRESULT* result);
  void OnDecimalIds();
  DECLARE_MESSAGE_MAP()

 private:
  void insert_columns();
  void fill_range_rows(const IdRangeList& ranges);
  void append_range_row(int start, int stop, bool active);
  void add_default_row();
  // The rows as typed; false when a cell holds no identifier 0..kMaxCanId: that cell is marked
  // and a message box names it.
  bool read_range_rows(IdRangeList& target);
  // Normalises the rows shown; false, with nothing changed, when a cell does not convert.
  bool normalise_ranges();
  bool apply();
  std::uint32_t update_lists();
  void enable_apply(bool enable);
  // Every identifier shown again in m_base; a range cell that does not read stays as typed.
  void reformat_ids();

  std::uint32_t m_lastRefresh;
  std::vector<std::pair<int, float>> m_shares;
  IStandardSourceAccess& m_source;
  int m_refreshes = 0;
  can::IdBase m_base = can::IdBase::Hex;
};
