// The window of the CAN channels: its tables, its buttons and its layout (the rows' cells are in
// CCanChannelsDlgRows.cpp).
#include "host/driverui/CCanChannelsDlg.h"

#include <algorithm>

#include "host/driverui/ChannelResources.h"
#include "host/mfc/Win.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/FileChooser.h"

using driverui::kChAdd;
using driverui::kChBrowse;
using driverui::kChIntro;
using driverui::kChList;
using driverui::kChRemove;
using driverui::kChStatus;
using driverui::kGenAdd;
using driverui::kGenList;
using driverui::kGenRemove;

namespace {

struct Column {
  const wchar_t* title;
  int width;  // pixels in the dialog font
  const wchar_t* tip;
};

constexpr Column kChannelColumns[] = {
    {L"Channel", 55,
     L"The channel number, 0 to 255: what a source's Channel in the CAN-Bus dialog names"},
    {L"Backend", 90,
     L"Virtual bus: a bus inside canhost, shared by the channels on it; Log replay: a log played "
     L"as the bus carried it; SocketCAN: a Linux CAN interface"},
    {L"Bus", 70,
     L"Virtual bus: its name. Channels on one bus hear each other; generators send on it"},
    {L"Log file", 150,
     L"Log replay: the log (candump, ASC, BLF or TRC), relative to the settings folder; "
     L"\"Log file...\" chooses one"},
    {L"Interface", 90,
     L"Log replay: the log's channel it plays (all of them, merged, by default); "
     L"SocketCAN: the Linux interface (ip link)"},
    {L"Offset (ticks)", 80,
     L"How far the channel's clock is ahead of the host's, in ticks of 125 \u00b5s, as the clock "
     L"of an interface that started at another moment (empty: 0)"},
    {L"Drift (ppm)", 70,
     L"How much faster the channel's clock runs than the host's (negative: slower), in ppm, "
     L"-1000 to 1000 with at most 3 decimals (empty: 0)"},
};
static_assert(std::size(kChannelColumns) == CCanChannelsDlg::Model::kChannelFields);

constexpr Column kGeneratorColumns[] = {
    {L"Bus", 70, L"The virtual bus it sends on: every channel on that bus receives its frames"},
    {L"Identifiers", 120,
     L"Hex, separated by commas (123,18FEF100); 8 digits or above 7FF are extended. One frame "
     L"per identifier and period"},
    {L"Period", 55, L"10ms, 250us, 1s (a bare number is ms)"},
    {L"Phase", 50, L"Shifts the due times by this much, below the period (empty: 0)"},
    {L"Length", 50, L"Payload bytes, 0 to 8 (CAN FD: up to 64); empty: 8, or the fixed data's"},
    {L"Data", 90,
     L"counter (the period's number in bytes 0-3), ramp, random, or fixed hex bytes (DEADBEEF); "
     L"empty: counter"},
    {L"FD", 35, L"Ticked: CAN FD frames, which only channels opened in CAN FD mode receive"},
    {L"BRS", 35, L"Ticked: CAN FD frames with the bit-rate switch"},
};
static_assert(std::size(kGeneratorColumns) == CCanChannelsDlg::Model::kGeneratorFields);

template <std::size_t N>
void InsertColumns(CXListCtrl& list, const Column (&columns)[N]) {
  for (std::size_t c = 0; c < N; ++c) {
    const int column = static_cast<int>(c);
    list.InsertColumn(column, columns[c].title, 0, columns[c].width);
    list.SetColumnToolTip(column, columns[c].tip);
  }
}

}  // namespace

BEGIN_MESSAGE_MAP(CCanChannelsDlg, CDialog3d)
ON_BN_CLICKED(kChAdd, &CCanChannelsDlg::OnAdd)
ON_BN_CLICKED(kChRemove, &CCanChannelsDlg::OnRemove)
ON_BN_CLICKED(kChBrowse, &CCanChannelsDlg::OnBrowse)
ON_BN_CLICKED(kGenAdd, &CCanChannelsDlg::OnGeneratorAdd)
ON_BN_CLICKED(kGenRemove, &CCanChannelsDlg::OnGeneratorRemove)
ON_NOTIFY(LVN_KEYDOWN, kChList, &CCanChannelsDlg::OnChannelKey)
ON_NOTIFY(LVN_KEYDOWN, kGenList, &CCanChannelsDlg::OnGeneratorKey)
ON_NOTIFY(NM_CLICK, kChList, &CCanChannelsDlg::OnClick)
ON_NOTIFY(NM_CLICK, kGenList, &CCanChannelsDlg::OnClick)
ON_MESSAGE(WM_XLISTCTRL_EDIT_END, &CCanChannelsDlg::OnCellChanged)
ON_MESSAGE(WM_XLISTCTRL_CHECKBOX_CLICKED, &CCanChannelsDlg::OnCellChanged)
ON_MESSAGE(WM_XLISTCTRL_COMBO_SELECTION, &CCanChannelsDlg::OnBackendOrInterface)
END_MESSAGE_MAP()

CCanChannelsDlg::CCanChannelsDlg(Model& model)
    : CDialog3d(&driverui::ChannelModule(), driverui::kChannelsDialog), m_model(model) {}

void CCanChannelsDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, kChList, m_channels);
  DDX_Control(pDX, kGenList, m_generators);
}

BOOL CCanChannelsDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  InsertColumns(m_channels, kChannelColumns);
  InsertColumns(m_generators, kGeneratorColumns);
  m_channels.SetFullRowSelect(true);
  m_generators.SetFullRowSelect(true);
  const std::wstring where = m_model.Path().wstring();
  SetDlgItemTextW(kChIntro,
                  (L"What each CAN channel number is, from " + where +
                   (m_model.Exists() ? L"" : L" (not there yet: the driver's default is shown)") +
                   L". Comments and lines the driver leaves out stay in the file as written.")
                      .c_str());
  Fill();
  FitToRows();
  Layout();
  return TRUE;
}

void CCanChannelsDlg::FitToRows() {
  const auto grow = [](const CXListCtrl& list, int rows) {
    return std::max(list.GetFittingHeight(rows) - list.GetWindowRect().Height(), 0);
  };
  const int channels = grow(m_channels, kChannelRowsShown);
  const int generators = grow(m_generators, kGeneratorRowsShown);
  const int wider =
      std::max({m_channels.GetFittingWidth() - m_channels.GetWindowRect().Width(),
                m_generators.GetFittingWidth() - m_generators.GetWindowRect().Width(), 0});
  const CRect channelTable = m_channels.GetWindowRect();
  const CRect generatorTable = m_generators.GetWindowRect();
  for (CWnd* w : Controls()) {
    CRect r = w->GetWindowRect();
    const int down = r.top >= generatorTable.bottom ? channels + generators
                     : r.top >= channelTable.bottom ? channels
                                                    : 0;
    r.top += down;
    r.bottom += down;
    if (w == &m_channels) r.bottom += channels;
    if (w == &m_generators) r.bottom += generators;
    // The tables and texts take the extra width; OK, Cancel and Apply move along.
    const int id = w->GetDlgCtrlID();
    if (id == IDOK || id == IDCANCEL || id == ID_APPLY_NOW) {
      r.left += wider;
      r.right += wider;
    } else if (w->Kind() == ui::ControlKind::ListView || w->Kind() == ui::ControlKind::Static) {
      r.right += wider;
    }
    w->MoveWindow(r);
  }
  // Before the layout is complete, a new size moves nobody.
  Resize(ClientRect().Width() + wider, ClientRect().Height() + channels + generators);
}

// The channel table takes what the window grows or shrinks by; what is below it keeps its
// distance to the bottom.
void CCanChannelsDlg::Layout() {
  D3dLayoutChild(kChIntro, CEdges::LEFT | CEdges::RIGHT | CEdges::TOP);
  D3dLayoutChild(&m_channels, CEdges::TOP_LEFT_BOTTOM_RIGHT());
  D3dLayoutChild(&m_generators, CEdges::LEFT | CEdges::RIGHT | CEdges::BOTTOM);
  for (CWnd* w : Controls()) {
    const int id = w->GetDlgCtrlID();
    if (id == kChAdd || id == kChRemove || id == kChBrowse || id == kGenAdd || id == kGenRemove ||
        (id == -1 && w->Kind() == ui::ControlKind::Static))
      D3dLayoutChild(w, CEdges::LEFT | CEdges::BOTTOM);
  }
  D3dLayoutChild(kChStatus, CEdges::LEFT | CEdges::RIGHT | CEdges::BOTTOM);
  for (int id : {IDOK, IDCANCEL, ID_APPLY_NOW})
    D3dLayoutChild(id, CEdges::RIGHT | CEdges::BOTTOM);
  // Not kept from going below the size it opened with: the view keeps it at least as large as
  // its template.
  D3dLayoutComplete(0);
  EnableButtons();
}

void CCanChannelsDlg::OnOK() {
  if (!Save()) return;
  DestroyWindow();
}

void CCanChannelsDlg::OnApply() {
  Save();
}

bool CCanChannelsDlg::Save() {
  Take();
  std::string error;
  if (!m_model.Save(error)) {
    m_note.clear();
    Check();
    AfxMessageBox(
        CString::FromUtf8("The CAN channels are not saved:\n" + error + "\nThe file is unchanged.")
            .GetString(),
        MB_ICONWARNING);
    return false;
  }
  m_saved = true;
  m_note = "Saved. A measurement takes it up at its next Start.";
  Fill();
  return true;
}

void CCanChannelsDlg::OnAdd() {
  Take();
  const int row = static_cast<int>(m_model.AddChannel());
  Fill();
  for (int r = 0; r < m_channels.GetItemCount(); ++r)
    m_channels.SetItemState(r, r == row ? LVIS_SELECTED : 0, LVIS_SELECTED);
  EnableButtons();
}

void CCanChannelsDlg::OnRemove() {
  Take();
  const auto rows = Selected(m_channels);
  // From the last: the rows above keep their numbers.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    m_model.RemoveChannel(static_cast<std::size_t>(*it));
  Fill();
}

void CCanChannelsDlg::OnBrowse() {
  const auto rows = Selected(m_channels);
  if (rows.empty()) return;
  Take();
  const auto row = static_cast<std::size_t>(rows.front());
  const auto& channel = m_model.Channels()[row];
  ui::FileRequest request;
  request.title = L"Choose the log channel " + CString::FromUtf8(channel.number) + L" replays";
  request.filter = L"CAN logs (*.log *.asc *.blf *.trc *.LOG *.ASC *.BLF *.TRC);;All files (*)";
  if (!channel.file.empty())
    request.initial = CString(m_model.ResolvedFile(channel.file).wstring());
  CString chosen;
  if (!ui::ChooseFileToOpen(request, chosen)) return;
  m_model.SetBackend(row, Model::Backend::Replay);
  m_model.SetChannel(row, Model::File, m_model.RelativeFile(chosen.str()));
  FillChannel(static_cast<int>(row));
  Check();
}

void CCanChannelsDlg::OnGeneratorAdd() {
  Take();
  Model::Generator generator;
  generator.ids = "100";
  generator.period = "100ms";
  for (const auto& c : m_model.Channels())
    if (c.backend == Model::Backend::Virtual) {
      generator.bus = c.bus.empty() ? "default" : c.bus;
      break;
    }
  m_model.AddGenerator(generator);
  Fill();
}

void CCanChannelsDlg::OnGeneratorRemove() {
  Take();
  const auto rows = Selected(m_generators);
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    m_model.RemoveGenerator(static_cast<std::size_t>(*it));
  Fill();
}

void CCanChannelsDlg::OnChannelKey(NMHDR* hdr, LRESULT* result) {
  if (reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey == VK_DELETE) OnRemove();
  *result = 0;
}

void CCanChannelsDlg::OnGeneratorKey(NMHDR* hdr, LRESULT* result) {
  if (reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey == VK_DELETE) OnGeneratorRemove();
  *result = 0;
}

void CCanChannelsDlg::OnClick(NMHDR*, LRESULT* result) {
  EnableButtons();
  *result = 0;
}

void CCanChannelsDlg::EnableButtons() {
  if (CWnd* w = GetDlgItem(kChRemove)) w->EnableWindow(m_channels.GetSelectedCount() > 0);
  if (CWnd* w = GetDlgItem(kChBrowse)) w->EnableWindow(m_channels.GetSelectedCount() > 0);
  if (CWnd* w = GetDlgItem(kGenRemove)) w->EnableWindow(m_generators.GetSelectedCount() > 0);
}

std::vector<int> CCanChannelsDlg::Selected(const CXListCtrl& list) {
  std::vector<int> rows;
  for (int r = list.GetNextItem(-1, LVNI_SELECTED); r >= 0; r = list.GetNextItem(r, LVNI_SELECTED))
    rows.push_back(r);
  return rows;
}
