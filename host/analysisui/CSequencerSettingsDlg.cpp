#include "host/analysisui/CSequencerSettingsDlg.h"

#include <string>
#include <vector>

#include "host/analysisui/AnalysisResources.h"
#include "host/mfc/CString.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CEdges.h"

using XeCanAnalysis::CSequencerSettingsModel;

namespace {

// Pixel widths and titles of the columns, in the model's field order.
constexpr int kWidths[] = {90, 80, 140, 110, 110};
constexpr const wchar_t* kTitles[] = {L"Kind", L"Identifier", L"Payload", L"Separation (st)",
                                      L"Block size (bs)"};
static_assert(std::size(kWidths) == CSequencerSettingsModel::kFieldCount &&
              std::size(kTitles) == CSequencerSettingsModel::kFieldCount);

// The kinds a row can be, as shown and as the file writes them.
constexpr const wchar_t* kKindLabels[] = {L"regular", L"one-shot"};
constexpr const char* kKindWords[] = {"regular", "oneshot"};

CString Wide(const std::string& text) {
  return CString::FromUtf8(text);
}

}  // namespace

BEGIN_MESSAGE_MAP(CSequencerSettingsDlg, CDialog3d)
ON_BN_CLICKED(analysisui::kSeqAdd, &CSequencerSettingsDlg::OnAdd)
ON_BN_CLICKED(analysisui::kSeqRemove, &CSequencerSettingsDlg::OnRemove)
ON_EN_CHANGE(analysisui::kSeqTimer, &CSequencerSettingsDlg::OnTimer)
ON_NOTIFY(LVN_KEYDOWN, analysisui::kSeqList, &CSequencerSettingsDlg::OnKey)
ON_MESSAGE(WM_XLISTCTRL_EDIT_END, &CSequencerSettingsDlg::OnEditEnd)
ON_MESSAGE(WM_XLISTCTRL_COMBO_SELECTION, &CSequencerSettingsDlg::OnComboSelection)
END_MESSAGE_MAP()

CSequencerSettingsDlg::CSequencerSettingsDlg(CSequencerSettingsModel& model)
    : CDialog3d(&analysisui::HostModule(), analysisui::kSequencerSettingsDialog), m_model(model) {}

void CSequencerSettingsDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, analysisui::kSeqList, m_list);
}

BOOL CSequencerSettingsDlg::OnInitDialog() {
  CDialog3d::OnInitDialog();
  m_list.SetFullRowSelect(true);
  for (int c = 0; c < CSequencerSettingsModel::kFieldCount; ++c)
    m_list.InsertColumn(c, kTitles[c], 0, kWidths[c]);
  SetDlgItemTextW(analysisui::kSeqTimer, Wide(m_model.Timer()).GetString());
  Fill();
  D3dLayoutChild(analysisui::kSeqList, CEdges::TOP_LEFT_BOTTOM_RIGHT());
  for (int id : {analysisui::kSeqAdd, analysisui::kSeqRemove})
    D3dLayoutChild(id, CEdges::LEFT | CEdges::BOTTOM);
  D3dLayoutChild(analysisui::kSeqStatus, CEdges::LEFT | CEdges::RIGHT | CEdges::BOTTOM);
  for (int id : {IDOK, IDCANCEL})
    D3dLayoutChild(id, CEdges::RIGHT | CEdges::BOTTOM);
  D3dLayoutComplete(3);
  return TRUE;
}

void CSequencerSettingsDlg::OnOK() {
  if (!Check()) return;
  m_accepted = true;
  DestroyWindow();
}

void CSequencerSettingsDlg::OnAdd() {
  int after = -1;
  for (int r = m_list.GetNextItem(-1, LVNI_SELECTED); r >= 0;
       r = m_list.GetNextItem(r, LVNI_SELECTED))
    after = r;
  const std::size_t at =
      after < 0 ? m_model.Requests().size() : static_cast<std::size_t>(after) + 1;
  const int row = static_cast<int>(m_model.Add(at));
  Fill();
  m_list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
}

void CSequencerSettingsDlg::OnRemove() {
  // From the last: the rows above keep their numbers.
  std::vector<int> selected;
  for (int r = m_list.GetNextItem(-1, LVNI_SELECTED); r >= 0;
       r = m_list.GetNextItem(r, LVNI_SELECTED))
    selected.push_back(r);
  if (selected.empty()) return;
  for (auto it = selected.rbegin(); it != selected.rend(); ++it)
    m_model.Remove(static_cast<std::size_t>(*it));
  Fill();
}

void CSequencerSettingsDlg::OnTimer() {
  m_model.SetTimer(GetDlgItemTextW(analysisui::kSeqTimer).ToUtf8());
  Check();
}

void CSequencerSettingsDlg::OnKey(NMHDR* hdr, LRESULT* result) {
  if (reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey == VK_DELETE) OnRemove();
  *result = 0;
}

LRESULT CSequencerSettingsDlg::OnEditEnd(WPARAM wRow, LPARAM column) {
  const int row = static_cast<int>(wRow);
  const auto field = static_cast<CSequencerSettingsModel::Field>(column);
  // A refused text ('#', a line break) gives way to the field as it was.
  m_model.Set(static_cast<std::size_t>(row), field,
              m_list.GetItemText(row, static_cast<int>(column)).ToUtf8());
  FillRow(row);
  Check();
  return 0;
}

LRESULT CSequencerSettingsDlg::OnComboSelection(WPARAM wRow, LPARAM column) {
  const int row = static_cast<int>(wRow);
  const int choice = m_list.GetComboCurSel(row, static_cast<int>(column));
  if (column != CSequencerSettingsModel::Kind || choice < 0) return 0;
  // A word of the file that is no kind is offered after the kinds; choosing it keeps it.
  if (static_cast<std::size_t>(choice) < std::size(kKindWords))
    m_model.Set(static_cast<std::size_t>(row), CSequencerSettingsModel::Kind, kKindWords[choice]);
  FillRow(row);
  Check();
  return 0;
}

void CSequencerSettingsDlg::Fill() {
  const BOOL locked = LockWindowUpdate();
  m_list.DeleteAllItems();
  for (std::size_t i = 0; i < m_model.Requests().size(); ++i)
    FillRow(m_list.AddItem(L""));
  if (locked) UnlockWindowUpdate();
  Check();
}

void CSequencerSettingsDlg::FillRow(int row) {
  const auto& r = m_model.Requests()[static_cast<std::size_t>(row)];
  std::vector<CString> kinds(std::begin(kKindLabels), std::end(kKindLabels));
  int kind = r.kind == kKindWords[0] ? 0 : r.kind == kKindWords[1] ? 1 : 2;
  if (kind == 2) kinds.push_back(Wide(r.kind));
  m_list.SetComboBox(row, CSequencerSettingsModel::Kind, kinds, kind);
  const std::string* texts[] = {&r.id, &r.payload, &r.separation, &r.blockSize};
  for (int c = CSequencerSettingsModel::Identifier; c < CSequencerSettingsModel::kFieldCount; ++c) {
    m_list.SetItemText(row, c, Wide(*texts[c - 1]).GetString());
    m_list.SetEdit(row, c, true);
  }
}

bool CSequencerSettingsDlg::Check() {
  const auto problems = m_model.Problems();
  std::string text;
  if (!m_model.ReadError().empty()) {
    SetDlgItemTextW(analysisui::kSeqStatus, Wide(m_model.ReadError()).GetString());
    return false;
  }
  if (!problems.empty()) {
    text = CSequencerSettingsModel::Describe(problems.front());
    if (problems.size() > 1)
      text.append("\n").append(std::to_string(problems.size() - 1)).append(" more to correct");
  } else {
    std::size_t oneShot = 0;
    for (const auto& r : m_model.Requests())
      oneShot += r.kind == kKindWords[1];
    text = std::to_string(m_model.Requests().size() - oneShot) + " regular and " +
           std::to_string(oneShot) + " one-shot requests";
  }
  SetDlgItemTextW(analysisui::kSeqStatus, Wide(text).GetString());
  return problems.empty();
}
