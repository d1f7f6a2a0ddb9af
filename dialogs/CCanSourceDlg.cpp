#include "dialogs/CCanSourceDlg.h"

#include <algorithm>
#include <set>
#include <vector>

#include "dialogs/DialogResources.h"
#include "frame/ConstantTables.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CSwitchResourceDefault.h"
#include "host/ui/IntegerInput.h"

IMPLEMENT_DYNAMIC(CCanSourceDlg, CDialog3d)

BEGIN_MESSAGE_MAP(CCanSourceDlg, CDialog3d)
ON_BN_CLICKED(can::IDC_ADD, &CCanSourceDlg::OnAdd)
ON_BN_CLICKED(can::IDC_REMOVE, &CCanSourceDlg::OnRemove)
ON_BN_CLICKED(can::IDC_CHANNELS, &CCanSourceDlg::OnChannels)
ON_NOTIFY(NM_CLICK, can::IDC_SOURCE_LIST, &CCanSourceDlg::OnClickList)
ON_MESSAGE(WM_XLISTCTRL_CHECKBOX_CLICKED, &CCanSourceDlg::OnCheckbox)
ON_MESSAGE(WM_XLISTCTRL_LINK_CLICKED, &CCanSourceDlg::OnLink)
END_MESSAGE_MAP()

namespace {

enum Column { kActive, kType, kName, kChannel, kFd, kBitrate, kFdData, kSettings };

constexpr can::ColumnDef kColumns[] = {
    {can::IDS_ACTIVE, 60, can::IDS_TIP_ACTIVE_SOURCE},
    {can::IDS_TYPE, 110, can::IDS_TIP_TYPE},
    {can::IDS_NAME, 70, can::IDS_TIP_NAME},
    {can::IDS_CHANNEL, 60, can::IDS_TIP_CHANNEL},
    {can::IDS_FD_CHANNEL, 60, can::IDS_TIP_FD_CHANNEL},
    {can::IDS_BITRATE, 60, can::IDS_TIP_BITRATE},
    {can::IDS_FD_DATARATE, 60, can::IDS_TIP_FD_DATARATE},
    {can::IDS_SETTINGS, 55, can::IDS_TIP_SOURCE_SETTINGS},
};

template <std::size_t N>
std::vector<CString> Labels(const std::array<can::RateRow, N>& rows) {
  std::vector<CString> labels;
  labels.reserve(N);
  for (const auto& r : rows)
    labels.emplace_back(r.label);
  return labels;
}

template <std::size_t N>
int PositionOf(const std::array<can::RateRow, N>& rows, std::int32_t code) {
  for (std::size_t i = 0; i < N; ++i)
    if (rows[i].code == code) return static_cast<int>(i);
  return 0;
}

}  // namespace

CCanSourceDlg::CCanSourceDlg(ISourceModuleAccess& module, CDialog3d* parent)
    : CDialog3d(&can::ExtensionModule(), can::IDD_CAN_BUS, parent), m_module(module) {}

void CCanSourceDlg::ShowDialog() {
  if (m_open && IsOpen()) {
    BringWindowToTop();
    return;
  }
  m_delay = m_module.delay();
  if (!DisplayDialog()) return;
  CSwitchResourceDefault resources(can::ExtensionModule());
  UpdateData(FALSE);
  m_open = true;
}

BOOL CCanSourceDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  can::InsertColumns(m_list, kColumns);
  m_list.SetFullRowSelect(true);
  m_list.m_bHighlightHover = true;
  m_list.SetHeaderCheckedState(kActive, 3);
  fill_table();
  for (int id : {-1, can::IDC_DELAY, IDCANCEL, ID_APPLY_NOW, IDOK})
    D3dLayoutChild(id, CEdges::BOTTOM | CEdges::RIGHT);
  for (int id : {can::IDC_ADD, can::IDC_REMOVE, can::IDC_CHANNELS})
    D3dLayoutChild(id, CEdges::BOTTOM | CEdges::LEFT);
  D3dLayoutChild(&m_list, CEdges::TOP_LEFT_BOTTOM_RIGHT());
  D3dLayoutComplete(3);
  // The template's table is narrower than its eight columns in most fonts: the window opens as
  // wide as they need, and the layout stretches the table.
  const int missing = m_list.GetFittingWidth() - m_list.GetWindowRect().Width();
  // ... and as high as its rows need, up to a screenful of them (a scroll bar beyond).
  const int missingHeight =
      m_list.GetFittingHeight(can::kRowsShownAtMost) - m_list.GetWindowRect().Height();
  if (missing > 0 || missingHeight > 0)
    Resize(ClientRect().Width() + std::max(missing, 0),
           ClientRect().Height() + std::max(missingHeight, 0));
  UpdateData(FALSE);
  EnableApply(!m_module.running());
  return TRUE;
}

void CCanSourceDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, can::IDC_SOURCE_LIST, m_list);
  DDX_Text(pDX, can::IDC_DELAY, m_delay);
}

void CCanSourceDlg::EnableApply(bool enable) {
  if (!GetSafeHwnd()) return;
  for (int id : {IDOK, ID_APPLY_NOW}) {
    GetDlgItem(id)->EnableWindow(enable ? TRUE : FALSE);
    GetDlgItem(id)->SetToolTip(enable ? CString() : CString(can::kLockedWhileMeasuring));
  }
  enable_remove();
}

void CCanSourceDlg::enable_remove() {
  if (CWnd* remove = GetDlgItem(can::IDC_REMOVE))
    remove->EnableWindow(m_list.GetSelectedCount() > 0 ? TRUE : FALSE);
}

void CCanSourceDlg::fill_table() {
  m_list.DeleteAllItems();
  m_rows = m_module.source_rows();
  for (const SourceRow& row : m_rows)
    add_row(&row);
  fit_columns();
}

void CCanSourceDlg::fit_columns() {
  for (int c = 0; c < m_list.GetColumnCount(); ++c)
    m_list.SetColumnWidth(c, LVSCW_AUTOSIZE_USEHEADER);
}

void CCanSourceDlg::add_row(const SourceRow* source) {
  LVITEM item{LVIF_PARAM, m_list.GetItemCount(), 0, source ? source->id : -1};
  const int row = m_list.InsertItem(item);
  std::vector<CString> types(can::kSourceTypes.begin(), can::kSourceTypes.end());
  m_list.SetCheckbox(row, kActive, source && source->active ? 1 : 0);
  m_list.SetComboBox(row, kType, types, source ? std::max(source->type, 0) : 0, 0);
  m_list.SetItemText(row, kName, source ? source->name.GetString() : L"<unnamed>");
  m_list.SetEdit(row, kName, true);
  m_list.SetItemText(row, kChannel, source ? source->channel : -1);
  m_list.SetEditInteger(row, kChannel, 0, kMaxChannel);
  const bool fd = source && source->fd;
  m_list.SetCheckbox(row, kFd, fd ? 1 : 0);
  set_rate_combo(row, fd, source);
  m_list.SetComboBox(row, kFdData, Labels(can::kFdDataRates),
                     source ? PositionOf(can::kFdDataRates, source->fdData) : 0, 0);
  const bool link = source && source->hasSettings;
  m_list.SetItemText(row, kSettings,
                     link ? CLibMgr::LoadStringW(can::IDS_SETTINGS).GetString() : L"");
  m_list.SetHyperlink(row, kSettings, link, true);
}

// A row without a source (added here) switches between the 500 kbit/s of both tables.
void CCanSourceDlg::set_rate_combo(int row, bool fd, const SourceRow* source) {
  if (fd)
    m_list.SetComboBox(
        row, kBitrate, Labels(can::kFdArbitrationRates),
        PositionOf(can::kFdArbitrationRates,
                   source ? source->fdArbitration : XeCanDriverKvaser::FD_ARBITRATION_500K));
  else
    m_list.SetComboBox(
        row, kBitrate, Labels(can::kBitrates),
        PositionOf(can::kBitrates, source ? source->bitrate : XeCanDriverKvaser::BITRATE_500K));
}

const SourceRow* CCanSourceDlg::source_of_row(int row) const {
  const auto id = reinterpret_cast<std::intptr_t>(m_list.GetItemDataPtr(row));
  for (const SourceRow& r : m_rows)
    if (r.id == id) return &r;
  return nullptr;
}

// A new row starts where most buses are: the lowest channel no row names yet, 500 kbit/s (CAN
// FD: 500 kbit/s arbitration, 2 Mbit/s data), inactive until the user ticks it.
void CCanSourceDlg::OnAdd() {
  std::set<int> used;
  for (int row = 0; row < m_list.GetItemCount(); ++row)
    if (int channel = 0;
        ui::IntegerInput{0, kMaxChannel}.Parse(m_list.GetItemText(row, kChannel), channel))
      used.insert(channel);
  SourceRow fresh;
  fresh.name = L"<unnamed>";
  fresh.channel = 0;
  while (used.count(fresh.channel) != 0)
    ++fresh.channel;
  fresh.bitrate = XeCanDriverKvaser::BITRATE_500K;
  fresh.fdArbitration = XeCanDriverKvaser::FD_ARBITRATION_500K;
  fresh.fdData = XeCanDriverKvaser::FD_DATA_2M;
  add_row(&fresh);
  fit_columns();
}

void CCanSourceDlg::OnRemove() {
  for (int row = m_list.GetItemCount() - 1; row >= 0; --row)
    if (m_list.GetItemState(row, LVIS_SELECTED)) m_list.DeleteItem(row);
  enable_remove();
}

// The driver's channels are the host's: its window, modal over this one.
void CCanSourceDlg::OnChannels() {
  XeCanDriverKvaser::ShowChannelSettings();
}

void CCanSourceDlg::OnClickList(NMHDR*, LRESULT* result) {
  enable_remove();
  *result = 0;
}

LRESULT CCanSourceDlg::OnCheckbox(WPARAM row, LPARAM column) {
  if (column != kFd) return 0;
  const int r = static_cast<int>(row);
  set_rate_combo(r, m_list.GetItemCheckedState(r, kFd) == 1, source_of_row(r));
  return 0;
}

LRESULT CCanSourceDlg::OnLink(WPARAM row, LPARAM) {
  if (const SourceRow* source = source_of_row(static_cast<int>(row)))
    m_module.show_source_settings(source->id);
  return 0;
}

void CCanSourceDlg::OnApply() {
  apply();
}

// A refused value keeps the window open with every row as typed, so that nothing is lost.
void CCanSourceDlg::OnOK() {
  if (!apply()) return;
  m_open = false;
  DestroyWindow();
}

void CCanSourceDlg::OnCancel() {
  m_open = false;
  DestroyWindow();
}
