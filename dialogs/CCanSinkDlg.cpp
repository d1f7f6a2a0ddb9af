#include "dialogs/CCanSinkDlg.h"

#include <iterator>
#include <string_view>

#include "dialogs/DialogResources.h"
#include "host/mfc/CObject.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CSwitchResourceDefault.h"

IMPLEMENT_DYNAMIC(CCanSinkDlg, CDialog3d)

BEGIN_MESSAGE_MAP(CCanSinkDlg, CDialog3d)
ON_MESSAGE(WM_XLISTCTRL_LINK_CLICKED, &CCanSinkDlg::OnLink)
ON_MESSAGE(WM_SIZE, &CCanSinkDlg::OnSize)
END_MESSAGE_MAP()

namespace {

enum Column { kName, kDecoder, kSettings };

constexpr can::ColumnDef kColumns[] = {{can::IDS_NAME, 90, can::IDS_TIP_BUS_NAME},
                                       {can::IDS_DECODER, 130, can::IDS_TIP_DECODER},
                                       {can::IDS_SETTINGS, 55, can::IDS_TIP_DECODER_SETTINGS}};

// The choice that means "no decoder": a single em dash, global combo string id -1.
constexpr const wchar_t* kNoDecoder = L"\u2014";
constexpr int kNoDecoderId = -1;

// Decoder classes by the names a person reads; the stored settings keep the class names.
struct DecoderName {
  const char* className;
  UINT nameId;
};
constexpr DecoderName kDecoderNames[] = {{"CCanDbcDecoder", can::IDS_DBC_DECODER}};

// The string table's name of the class; a class without one shows as itself.
CString DisplayName(const CRuntimeClass* cls) {
  if (cls == nullptr) return {};
  for (const auto& [className, nameId] : kDecoderNames)
    if (std::string_view(cls->m_lpszClassName) == className) {
      CSwitchResourceDefault resources(can::ExtensionModule());
      return CLibMgr::LoadStringW(nameId);
    }
  return CString::FromUtf8(cls->m_lpszClassName);
}

}  // namespace

CCanSinkDlg::CCanSinkDlg(ISinkAccess& sink, CDialog3d* parent)
    : CDialog3d(&can::ExtensionModule(), can::IDD_CAN_DECODING, parent), m_sink(sink) {}

void CCanSinkDlg::ShowDialog() {
  if (m_open && IsOpen()) {
    BringWindowToTop();
    return;
  }
  if (!DisplayDialog()) return;
  CSwitchResourceDefault resources(can::ExtensionModule());
  UpdateData(FALSE);
  m_open = true;
}

BOOL CCanSinkDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  m_classes = m_sink.decoder_choices();
  m_list.GlobalComboStringsReset();
  m_list.GlobalComboStringsInsert(kNoDecoderId, kNoDecoder);
  for (std::size_t k = 0; k < m_classes.size(); ++k)
    m_list.GlobalComboStringsInsert(static_cast<int>(k), DisplayName(m_classes[k]));
  m_list.SetFullRowSelect(true);
  can::InsertColumns(m_list, kColumns);
  fill_table();
  for (int id : {IDOK, IDCANCEL, ID_APPLY_NOW})
    D3dLayoutChild(id, CEdges::BOTTOM | CEdges::RIGHT);
  D3dLayoutChild(&m_list, CEdges::TOP_LEFT_BOTTOM_RIGHT());
  for (int id : {can::IDC_TIMEOUT_LABEL, can::IDC_TIMEOUT})
    D3dLayoutChild(id, CEdges::BOTTOM | CEdges::LEFT);
  D3dLayoutComplete(3);
  // Every channel's row shows at the first opening, up to a screenful of them.
  const int missing =
      m_list.GetFittingHeight(can::kRowsShownAtMost) - m_list.GetWindowRect().Height();
  if (missing > 0) Resize(ClientRect().Width(), ClientRect().Height() + missing);
  m_list.AutosizeColumnWidth(-1);
  return TRUE;
}

LRESULT CCanSinkDlg::OnSize(WPARAM type, LPARAM size) {
  CDialog3d::OnSize(type, size);
  m_list.AutosizeColumnWidth(-1);
  return 0;
}

void CCanSinkDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, can::IDC_CHANNEL_LIST, m_list);
  DDX_Text(pDX, can::IDC_TIMEOUT, m_timeout);
}

void CCanSinkDlg::refresh() {
  if (GetSafeHwnd()) fill_table();
}

void CCanSinkDlg::fill_table() {
  m_list.DeleteAllItems();
  m_list.SetBatchInsertMode(true);
  for (const SinkChannel& channel : m_sink.channels())
    add_row(channel);
  m_list.SetBatchInsertMode(false);
}

void CCanSinkDlg::add_row(const SinkChannel& channel) {
  const int row = m_list.AddItem(channel.name.GetString(), nullptr, channel.channel);
  const CString decoder = channel.cls != nullptr ? DisplayName(channel.cls) : CString(kNoDecoder);
  m_list.SetItemText(row, kDecoder, decoder);
  m_list.SetComboBoxGlobalStrings(row, kDecoder,
                                  m_list.GlobalComboStringsGetId(decoder, kNoDecoderId), -1);
  const bool link = channel.cls != nullptr && channel.hasSettings;
  CSwitchResourceDefault resources(can::ExtensionModule());
  m_list.SetItemText(row, kSettings,
                     link ? CLibMgr::LoadStringW(can::IDS_SETTINGS).GetString() : L"");
  m_list.SetHyperlink(row, kSettings, link, true);
}

LRESULT CCanSinkDlg::OnLink(WPARAM row, LPARAM) {
  m_sink.show_decoder_settings(static_cast<int>(m_list.GetItemData64(static_cast<int>(row))));
  return 0;
}

// A refused time-out keeps the previous value; the decoder choices are applied all the same.
void CCanSinkDlg::apply() {
  UpdateData(TRUE);
  for (int row = 0; row < m_list.GetItemCount(); ++row) {
    // The id of the chosen string: decoder class k, or -1 for none.
    const int id = m_list.GetComboCurSel(row, kDecoder);
    CRuntimeClass* cls = id >= 0 && id < static_cast<int>(m_classes.size())
                             ? m_classes[static_cast<std::size_t>(id)]
                             : nullptr;
    m_sink.choose_decoder(static_cast<int>(m_list.GetItemData64(row)), cls);
  }
  fill_table();
  m_sink.apply_settings();
}

void CCanSinkDlg::OnApply() {
  apply();
}

void CCanSinkDlg::OnOK() {
  apply();
  m_open = false;
  DestroyWindow();
}

void CCanSinkDlg::OnCancel() {
  m_open = false;
  DestroyWindow();
}
