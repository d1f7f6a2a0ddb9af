#include "dialogs/CCanStandardSrcDlg.h"

#include <string>

#include "dialogs/DialogResources.h"
#include "dialogs/RangeTable.h"
#include "host/mfc/Win.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CSwitchResourceDefault.h"
#include "host/ui/IntegerInput.h"

IMPLEMENT_DYNAMIC(CCanStandardSrcDlg, CDialog3d)

BEGIN_MESSAGE_MAP(CCanStandardSrcDlg, CDialog3d)
ON_NOTIFY(NM_CLICK, can::IDC_RANGE_LIST, &CCanStandardSrcDlg::OnRangeClick)
ON_NOTIFY(LVN_KEYDOWN, can::IDC_RANGE_LIST, &CCanStandardSrcDlg::OnRangeKey)
END_MESSAGE_MAP()

namespace {

// Column 0 of both lists, and the range list's check box column.
constexpr int kStartColumn = 0;
constexpr int kStopColumn = 1;
constexpr int kActiveColumn = 2;
constexpr int kRangeBarColumn = 3;
constexpr int kIdBarColumn = 1;

}  // namespace

CCanStandardSrcDlg::CCanStandardSrcDlg(IStandardSourceAccess& source)
    : CDialog3d(&can::ExtensionModule(), can::IDD_STANDARD_SOURCE),
      m_lastRefresh(GetTickCount()),
      m_source(source) {}

void CCanStandardSrcDlg::show() {
  if (IsOpen()) {
    BringWindowToTop();
    return;
  }
  if (!DisplayDialog()) return;
  {
    CSwitchResourceDefault resources(can::ExtensionModule());
    insert_columns();
  }
  fill_range_rows(m_source.ranges());
  UpdateData(FALSE);
}

void CCanStandardSrcDlg::insert_columns() {
  m_idList.InsertColumn(0, CLibMgr::LoadStringW(can::IDS_ID), 0, 80);
  m_idList.InsertColumn(1, CLibMgr::LoadStringW(can::IDS_FREQUENCY), 0, 358);
  m_rangeList.InsertColumn(0, CLibMgr::LoadStringW(can::IDS_START_ID), 0, 80);
  m_rangeList.InsertColumn(1, CLibMgr::LoadStringW(can::IDS_STOP_ID), 0, 80);
  m_rangeList.InsertColumn(2, CLibMgr::LoadStringW(can::IDS_ACTIVE), 0, 40);
  m_rangeList.InsertColumn(3, CLibMgr::LoadStringW(can::IDS_FREQUENCY), 0, 238);
}

BOOL CCanStandardSrcDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  D3dLayoutChild(&m_idList, CEdges::SPLIT_UPPER | CEdges::LEFT | CEdges::RIGHT);
  D3dLayoutChild(&m_rangeList, CEdges::SPLIT_LOWER | CEdges::LEFT | CEdges::RIGHT);
  for (int id : {IDCANCEL, ID_APPLY_NOW, IDOK})
    D3dLayoutChild(id, CEdges::BOTTOM | CEdges::RIGHT);
  D3dLayoutComplete(2);
  enable_apply(apply_enabled());
  return TRUE;
}

void CCanStandardSrcDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, can::IDC_ID_LIST, m_idList);
  DDX_Control(pDX, can::IDC_RANGE_LIST, m_rangeList);
}

void CCanStandardSrcDlg::enable_apply(bool enable) {
  if (!GetSafeHwnd()) return;
  for (int id : {IDOK, ID_APPLY_NOW}) {
    GetDlgItem(id)->EnableWindow(enable ? TRUE : FALSE);
    GetDlgItem(id)->SetToolTip(enable ? CString() : CString(can::kLockedWhileMeasuring));
  }
}

void CCanStandardSrcDlg::fill_range_rows(const IdRangeList& ranges) {
  m_rangeList.DeleteAllItems();
  for (const auto& [start, stop, active] : ranges)
    append_range_row(start, stop, active);
}

void CCanStandardSrcDlg::append_range_row(int start, int stop, bool active) {
  const int row = m_rangeList.AddItem(L"", nullptr, stop);
  m_rangeList.SetItemText(row, kStartColumn, start);
  m_rangeList.SetItemText(row, kStopColumn, stop);
  m_rangeList.SetEditInteger(row, kStartColumn, 0, kMaxCanId);
  m_rangeList.SetEditInteger(row, kStopColumn, 0, kMaxCanId);
  m_rangeList.SetCheckbox(row, kActiveColumn, active ? 1 : 0);
  m_rangeList.SetProgress(row, kRangeBarColumn);
}

void CCanStandardSrcDlg::add_default_row() {
  append_range_row(0, kMaxCanId, true);
}

bool CCanStandardSrcDlg::read_range_rows(IdRangeList& target) {
  target.clear();
  for (int row = 0; row < m_rangeList.GetItemCount(); ++row) {
    int ids[2] = {0, 0};
    for (int column : {kStartColumn, kStopColumn}) {
      const CString text = m_rangeList.GetItemText(row, column);
      if (!ui::IntegerInput{0, kMaxCanId}.Parse(text, ids[column])) {
        const wchar_t* cell = column == kStartColumn ? L"Start ID" : L"Stop ID";
        CString reason;
        if (text.IsEmpty())
          reason.Format(L"%s in row %d is empty: give a decimal identifier 0..%d.", cell, row + 1,
                        kMaxCanId);
        else
          reason.Format(L"%s in row %d: '%s' is not a decimal identifier 0..%d.", cell, row + 1,
                        text.GetString(), kMaxCanId);
        m_rangeList.MarkCell(row, column, reason);
        AfxMessageBox(reason + L"\nThe table is unchanged.", MB_ICONWARNING);
        return false;
      }
    }
    target.push_back({ids[0], ids[1], m_rangeList.GetCheckbox(row, kActiveColumn) == 1});
  }
  return true;
}

bool CCanStandardSrcDlg::normalise_ranges() {
  IdRangeList rows;
  if (!read_range_rows(rows)) return false;
  fill_range_rows(can::NormaliseRanges(std::move(rows)));
  return true;
}

bool CCanStandardSrcDlg::apply() {
  UpdateData(TRUE);
  if (!normalise_ranges()) return false;
  IdRangeList table;
  read_range_rows(table);
  return m_source.replace_ranges(std::move(table));
}

void CCanStandardSrcDlg::OnApply() {
  apply();
}

void CCanStandardSrcDlg::OnOK() {
  if (apply()) DestroyWindow();
}

void CCanStandardSrcDlg::OnRangeClick(NMHDR* hdr, LRESULT* result) {
  if (reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem < 0) add_default_row();
  *result = 0;
}

void CCanStandardSrcDlg::OnRangeKey(NMHDR* hdr, LRESULT* result) {
  const int key = reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey;
  if (key == VK_DELETE) {
    for (int row; (row = m_rangeList.GetNextItem(-1, LVNI_SELECTED)) >= 0;)
      m_rangeList.DeleteItem(row);
  } else if (GetKeyState(VK_CONTROL) < 0 && key == 'A') {
    for (int row = 0; row < m_rangeList.GetItemCount(); ++row)
      m_rangeList.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  } else if (GetKeyState(VK_CONTROL) < 0 && key == 'N') {
    add_default_row();
  }
  *result = 0;
}

void CCanStandardSrcDlg::refresh() {
  ++m_refreshes;
  if (!IsOpen()) return;
  const std::uint32_t total = update_lists();
  const std::uint32_t elapsed = GetTickCount() - m_lastRefresh;
  const std::wstring rate = elapsed != 0 ? std::to_wstring(total * 1000u / elapsed) : L"";
  SendDlgItemMessage(can::IDC_RATE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rate.c_str()));
  m_lastRefresh = GetTickCount();
  m_source.request_count_reset();
  enable_apply(apply_enabled());
}

std::uint32_t CCanStandardSrcDlg::update_lists() {
  const auto stats = m_source.stats_snapshot();
  m_shares.resize(stats.size());
  std::uint32_t total = 0;
  for (const auto& [id, stat] : stats)
    total += stat.count;
  const float factor = total != 0 ? 100.0F / static_cast<float>(total) : 0.0F;
  for (std::size_t i = 0; i < stats.size(); ++i)
    m_shares[i] = {stats[i].first, static_cast<float>(stats[i].second.count) * factor};

  LockWindowUpdate();
  // The ID list mirrors the source's ID map: rows are inserted in ID order, never removed.
  int row = 0;
  for (const auto& [id, share] : m_shares) {
    if (row >= m_idList.GetItemCount() || id < m_idList.GetItemData64(row)) {
      m_idList.InsertItem(row, L"", nullptr, id);
      m_idList.SetItemText(row, 0, id);
      m_idList.SetProgress(row, kIdBarColumn);
    }
    m_idList.UpdateProgress(row, kIdBarColumn, static_cast<int>(share));
    ++row;
  }
  // Each range's bar sums the shares of the IDs up to its stop ID (inclusive).
  auto p = m_shares.begin();
  for (int r = 0; r < m_rangeList.GetItemCount() && p != m_shares.end(); ++r) {
    const std::int64_t stop = m_rangeList.GetItemData64(r);
    float sum = 0.0F;
    for (; p != m_shares.end() && p->first <= stop; ++p)
      sum += p->second;
    m_rangeList.UpdateProgress(r, kRangeBarColumn, static_cast<int>(sum));
  }
  UnlockWindowUpdate();
  return total;
}
