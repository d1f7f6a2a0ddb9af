#include "host/analysisui/CDbcSettingsDlg.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <string>

#include "host/analysisui/AnalysisResources.h"
#include "host/paramdb/CPqParamInstance.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"
#include "host/ui/FileChooser.h"

using XeCanAnalysis::CDbcSettingsModel;

namespace {

constexpr const wchar_t* kNone = L"\u2014";
// Pixel widths of the columns in the dialog font, Column order.
constexpr int kWidths[] = {70, 150, 170, 50, 65, 50, 160, 150};
constexpr const wchar_t* kTitles[] = {
    L"Id",     L"Message", L"Signal",       L"Unit",
    L"Factor", L"Offset",  L"Multiplexing", L"Application signal"};
static_assert(std::size(kWidths) == CDbcSettingsDlg::kColumns &&
              std::size(kTitles) == CDbcSettingsDlg::kColumns);

std::wstring Printf(const wchar_t* format, auto... values) {
  wchar_t buffer[64];
  std::swprintf(buffer, std::size(buffer), format, values...);
  return buffer;
}

// Standard identifiers in three hex digits, extended ones in eight: the digits tell the format.
std::wstring IdText(std::uint32_t canId) {
  if (canId & XeCanAnalysis::kCanIdExtended)
    return Printf(L"0x%08X", static_cast<unsigned>(canId & XeCanAnalysis::kMaxExtendedId));
  return Printf(L"0x%03X", static_cast<unsigned>(canId));
}

std::wstring MuxText(const CDbcSettingsModel::Row& r) {
  std::wstring text = r.multiplexor ? L"multiplexor" : L"";
  if (r.multiplexedBy.IsEmpty()) return text;
  if (!text.empty()) text += L", ";
  text += r.multiplexedBy.str() + L" = ";
  for (std::size_t i = 0; i < r.muxValues.size(); ++i) {
    const auto& v = r.muxValues[i];
    text += (i ? L", " : L"") + std::to_wstring(v.low);
    if (v.high != v.low) text += L".." + std::to_wstring(v.high);
  }
  return text;
}

bool Contains(const CString& text, const std::wstring& lowerNeedle) {
  std::wstring lower = text.str();
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return lower.find(lowerNeedle) != std::wstring::npos;
}

// A file chosen inside the settings folder is kept relative to it, so the folder can move.
CString SettingsRelative(const CString& chosen) {
  const std::filesystem::path path(chosen.str());
  const std::filesystem::path relative = path.lexically_relative(host::SettingsFolder());
  if (relative.empty() || *relative.begin() == "..") return chosen;
  return CString(relative.generic_wstring());
}

}  // namespace

BEGIN_MESSAGE_MAP(CDbcSettingsDlg, CDialog3d)
ON_BN_CLICKED(analysisui::kDbcBrowse, &CDbcSettingsDlg::OnBrowse)
ON_BN_CLICKED(analysisui::kDbcLoad, &CDbcSettingsDlg::OnLoad)
ON_EN_CHANGE(analysisui::kDbcSearch, &CDbcSettingsDlg::OnSearch)
ON_MESSAGE(WM_XLISTCTRL_COMBO_SELECTION, &CDbcSettingsDlg::OnComboSelection)
END_MESSAGE_MAP()

CDbcSettingsDlg::CDbcSettingsDlg(CDbcSettingsModel& model)
    : CDialog3d(&analysisui::HostModule(), analysisui::kDbcSettingsDialog), m_model(model) {}

void CDbcSettingsDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, analysisui::kDbcList, m_list);
}

BOOL CDbcSettingsDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  m_list.SetFullRowSelect(true);
  for (int c = 0; c < kColumns; ++c)
    m_list.InsertColumn(c, kTitles[c], 0, kWidths[c]);
  SetDlgItemTextW(analysisui::kDbcFileEdit, m_model.FileName().GetString());
  Fill();
  using analysisui::kDbcFileEdit;
  D3dLayoutChild(kDbcFileEdit, CEdges::LEFT | CEdges::RIGHT | CEdges::TOP);
  for (int id : {analysisui::kDbcBrowse, analysisui::kDbcLoad})
    D3dLayoutChild(id, CEdges::RIGHT | CEdges::TOP);
  for (int id : {analysisui::kDbcStatus, analysisui::kDbcCount})
    D3dLayoutChild(id, CEdges::LEFT | CEdges::RIGHT | CEdges::TOP);
  D3dLayoutChild(analysisui::kDbcList, CEdges::TOP_LEFT_BOTTOM_RIGHT());
  for (int id : {IDOK, IDCANCEL})
    D3dLayoutChild(id, CEdges::RIGHT | CEdges::BOTTOM);
  D3dLayoutComplete(3);
  return TRUE;
}

void CDbcSettingsDlg::OnOK() {
  // A path typed but not loaded yet is loaded now; one that does not load keeps the window open.
  const CString typed = GetDlgItemTextW(analysisui::kDbcFileEdit);
  if (!typed.IsEmpty() && typed != m_model.FileName() && !Load(typed)) return;
  m_accepted = true;
  DestroyWindow();
}

void CDbcSettingsDlg::OnBrowse() {
  std::filesystem::path start(GetDlgItemTextW(analysisui::kDbcFileEdit).str());
  if (start.is_relative()) start = host::SettingsFolder() / start;
  ui::FileRequest request{L"Choose a DBC file", L"DBC files (*.dbc);;All files (*)",
                          CString(start.wstring())};
  CString chosen;
  if (!ui::ChooseFileToOpen(request, chosen)) return;
  chosen = SettingsRelative(chosen);
  SetDlgItemTextW(analysisui::kDbcFileEdit, chosen.GetString());
  Load(chosen);
}

void CDbcSettingsDlg::OnLoad() {
  Load(GetDlgItemTextW(analysisui::kDbcFileEdit));
}

bool CDbcSettingsDlg::Load(const CString& path) {
  if (!m_model.ChooseFile(path)) {
    m_loadError = m_model.LastError();
    SetDlgItemTextW(analysisui::kDbcFileEdit, m_model.FileName().GetString());
    ShowState();
    return false;
  }
  m_loadError.Empty();
  Fill();
  return true;
}

void CDbcSettingsDlg::OnSearch() {
  Fill();
}

void CDbcSettingsDlg::Fill() {
  std::wstring needle = GetDlgItemTextW(analysisui::kDbcSearch).str();
  std::transform(needle.begin(), needle.end(), needle.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  const auto& rows = m_model.Signals();
  m_shown.clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<CString> choices = Choices(rows[i].appSignal);
    if (needle.empty() || Contains(rows[i].messageName, needle) ||
        Contains(rows[i].signal, needle) || Contains(choices.back(), needle))
      m_shown.push_back(i);
  }
  // One redraw for the whole table.
  const BOOL locked = LockWindowUpdate();
  m_list.DeleteAllItems();
  for (std::size_t i : m_shown) {
    const int row = m_list.AddItem(L"", nullptr, static_cast<std::int64_t>(i));
    FillRow(row, rows[i]);
  }
  if (locked) UnlockWindowUpdate();
  ShowState();
}

void CDbcSettingsDlg::FillRow(int row, const CDbcSettingsModel::Row& s) {
  m_list.SetItemText(row, kId, IdText(s.messageId).c_str());
  m_list.SetItemText(row, kMessage, s.messageName.GetString());
  m_list.SetItemText(row, kSignal, s.signal.GetString());
  m_list.SetItemText(row, kUnit, s.unit.GetString());
  m_list.SetItemText(row, kFactor, Printf(L"%g", s.factor).c_str());
  m_list.SetItemText(row, kOffset, Printf(L"%g", s.offset).c_str());
  m_list.SetItemText(row, kMux, MuxText(s).c_str());
  std::vector<CString> choices = Choices(s.appSignal);
  const CString shown = choices.back();
  choices.pop_back();
  const auto it = std::find(choices.begin(), choices.end(), shown);
  m_list.SetComboBox(row, kAppSignal, choices, static_cast<int>(it - choices.begin()));
}

// The combo's labels: "—", the offered application signals, and the name of one assigned that is
// not offered (so the table shows it); the last element is the label in force.
std::vector<CString> CDbcSettingsDlg::Choices(int appSignal) const {
  std::vector<CString> labels{kNone};
  CString current = kNone;
  for (const auto& a : m_model.ApplicationSignals()) {
    labels.push_back(a.m_name);
    if (a.m_number == appSignal) current = a.m_name;
  }
  if (appSignal >= 0 && current == kNone) {
    // Assigned (by the DBC file, say) but not offered to decoders: still named as the database
    // names it, so the person sees which signal it is.
    current = CPqParamInstance().ApplicationSignalName(appSignal);
    labels.push_back(current);
  }
  labels.push_back(current);
  return labels;
}

LRESULT CDbcSettingsDlg::OnComboSelection(WPARAM wRow, LPARAM column) {
  const int row = static_cast<int>(wRow);
  if (column != kAppSignal || row < 0 || static_cast<std::size_t>(row) >= m_shown.size()) return 0;
  const std::size_t index = m_shown[static_cast<std::size_t>(row)];
  const int choice = m_list.GetComboCurSel(row, kAppSignal);
  const auto& apps = m_model.ApplicationSignals();
  // "—" is none; a label past the offered ones is the number already in force.
  if (choice == 0)
    m_model.Assign(index, -1);
  else if (static_cast<std::size_t>(choice) <= apps.size())
    m_model.Assign(index, apps[static_cast<std::size_t>(choice) - 1].m_number);
  FillRow(row, m_model.Signals()[index]);
  return 0;
}

void CDbcSettingsDlg::ShowState() {
  const auto& rows = m_model.Signals();
  std::wstring state;
  if (!m_loadError.IsEmpty())
    state = L"Not loaded: " + m_loadError.str() + L"\nStill in use: " +
            (m_model.FileName().IsEmpty() ? std::wstring(L"no file") : m_model.FileName().str());
  else if (!m_model.File())
    state = L"No DBC file chosen.";
  else {
    const auto& db = m_model.File()->database;
    state = Printf(L"%zu %ls, %zu %ls", db.messages.size(),
                   db.messages.size() == 1 ? L"message" : L"messages", rows.size(),
                   rows.size() == 1 ? L"signal" : L"signals");
    const auto diagnostics = m_model.Diagnostics();
    if (!diagnostics.empty())
      state +=
          Printf(L"; %zu warnings, %zu errors, the first:\n", db.WarningCount(), db.ErrorCount()) +
          CString::FromUtf8(diagnostics.front()).str();
  }
  SetDlgItemTextW(analysisui::kDbcStatus, state.c_str());
  SetDlgItemTextW(analysisui::kDbcCount,
                  Printf(L"%zu of %zu signals shown", m_shown.size(), rows.size()).c_str());
}
