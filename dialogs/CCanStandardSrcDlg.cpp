#include "dialogs/CCanStandardSrcDlg.h"

#include <string>

#include "dialogs/DialogResources.h"
#include "dialogs/RangeTable.h"
#include "host/mfc/Win.h"
#include "host/settings/CResourceSea.h"
#include "host/settings/CSeaBase.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CSwitchResourceDefault.h"

IMPLEMENT_DYNAMIC(CCanStandardSrcDlg, CDialog3d)

BEGIN_MESSAGE_MAP(CCanStandardSrcDlg, CDialog3d)
ON_NOTIFY(NM_CLICK, can::IDC_RANGE_LIST, &CCanStandardSrcDlg::OnRangeClick)
ON_NOTIFY(LVN_KEYDOWN, can::IDC_RANGE_LIST, &CCanStandardSrcDlg::OnRangeKey)
ON_BN_CLICKED(can::IDC_DECIMAL_IDS, &CCanStandardSrcDlg::OnDecimalIds)
END_MESSAGE_MAP()

namespace {

// Column 0 of both lists, and the range list's check box column.
constexpr int kStartColumn = 0;
constexpr int kStopColumn = 1;
constexpr int kActiveColumn = 2;
constexpr int kRangeBarColumn = 3;
constexpr int kIdBarColumn = 1;

// The view setting in Application.sea: "hex" (also when absent) or "decimal".
constexpr const wchar_t* kViewEntry = L"CanStandardSource-View";

can::IdBase StoredIdBase() {
  const CResourceEntry* entry = CSeaBase::ApplicationSea()->FindEntry(kViewEntry);
  const bool decimal = entry != nullptr && entry->GetStringFb(0, L"hex") == L"decimal";
  return decimal ? can::IdBase::Decimal : can::IdBase::Hex;
}

void StoreIdBase(can::IdBase base) {
  CResourceEntry* entry = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(entry, CResourceSea::kLookupFindOrCreate, kViewEntry, 0);
  if (entry != nullptr) entry->SetText(base == can::IdBase::Decimal ? L"decimal" : L"hex", 0);
}

// Why the cell in `row` and `column` holding `text` is refused, naming the cell.
CString Refusal(int row, int column, const CString& text, can::IdError error) {
  const wchar_t* cell = column == kStartColumn ? L"Start ID" : L"Stop ID";
  CString reason;
  if (CString trimmed = text; trimmed.Trim().IsEmpty())
    reason.Format(L"%s in row %d is empty: give an identifier, hex as 0x7FF or 7FFh, or decimal.",
                  cell, row + 1);
  else
    reason.Format(L"%s in row %d: %s", cell, row + 1, can::IdErrorText(text, error).GetString());
  return reason;
}

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
  m_base = StoredIdBase();
  if (!DisplayDialog()) return;
  {
    CSwitchResourceDefault resources(can::ExtensionModule());
    insert_columns();
  }
  fill_range_rows(m_source.ranges());
  UpdateData(FALSE);
  GetDlgItem(can::IDC_DECIMAL_IDS)->SetCheck(m_base == can::IdBase::Decimal ? 1 : 0);
}

void CCanStandardSrcDlg::OnDecimalIds() {
  const bool decimal = GetDlgItem(can::IDC_DECIMAL_IDS)->GetCheck() == 1;
  m_base = decimal ? can::IdBase::Decimal : can::IdBase::Hex;
  StoreIdBase(m_base);
  reformat_ids();
}

void CCanStandardSrcDlg::reformat_ids() {
  for (int row = 0; row < m_idList.GetItemCount(); ++row)
    m_idList.SetItemText(
        row, 0, can::FormatId(static_cast<int>(m_idList.GetItemData64(row)), m_base).GetString());
  for (int row = 0; row < m_rangeList.GetItemCount(); ++row) {
    for (int column : {kStartColumn, kStopColumn}) {
      const can::IdValue id = can::ParseId(m_rangeList.GetItemText(row, column));
      if (id.error == can::IdError::None)
        m_rangeList.SetItemText(row, column, can::FormatId(id.value, m_base).GetString());
    }
  }
}

void CCanStandardSrcDlg::insert_columns() {
  constexpr can::ColumnDef kIdColumns[] = {{can::IDS_ID, 80, can::IDS_TIP_ID},
                                           {can::IDS_FREQUENCY, 358, can::IDS_TIP_ID_SHARE}};
  constexpr can::ColumnDef kRangeColumns[] = {{can::IDS_START_ID, 80, can::IDS_TIP_START_ID},
                                              {can::IDS_STOP_ID, 80, can::IDS_TIP_STOP_ID},
                                              {can::IDS_ACTIVE, 40, can::IDS_TIP_ACTIVE_RANGE},
                                              {can::IDS_FREQUENCY, 238, can::IDS_TIP_RANGE_SHARE}};
  can::InsertColumns(m_idList, kIdColumns);
  can::InsertColumns(m_rangeList, kRangeColumns);
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
  m_rangeList.SetItemText(row, kStartColumn, can::FormatId(start, m_base).GetString());
  m_rangeList.SetItemText(row, kStopColumn, can::FormatId(stop, m_base).GetString());
  m_rangeList.SetEdit(row, kStartColumn, true);
  m_rangeList.SetEdit(row, kStopColumn, true);
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
      const can::IdValue id = can::ParseId(text);
      if (id.error != can::IdError::None) {
        const CString reason = Refusal(row, column, text, id.error);
        m_rangeList.MarkCell(row, column, reason);
        AfxMessageBox(reason + L"\nThe table is unchanged.", MB_ICONWARNING);
        return false;
      }
      ids[column] = id.value;
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
      m_idList.SetItemText(row, 0, can::FormatId(id, m_base).GetString());
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
