#pragma once
// A small dialog of the kind the plug-in builds (a list, buttons along the bottom, a delay field),
// with the resources a library would register, for the UI layer's tests.
#include <functional>
#include <vector>

#include "host/module/ExtensionModule.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CEdges.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CXListCtrl.h"

namespace uitest {

inline constexpr ui::ControlRes kControls[] = {
    {1001, ui::ControlKind::ListView, L"", 7, 7, 217, 69, ui::kMultiSelect},
    {1002, ui::ControlKind::Button, L"Add", 7, 80, 50, 14},
    {-1, ui::ControlKind::Static, L"Delay (ticks)", 45, 104, 136, 8},
    {2009, ui::ControlKind::Edit, L"", 184, 101, 40, 14, ui::kRightAligned},
    {1, ui::ControlKind::DefaultButton, L"OK", 65, 122, 50, 14},
    {2, ui::ControlKind::Button, L"Cancel", 119, 122, 50, 14},
    {2005, ui::ControlKind::Button, L"Apply", 174, 122, 50, 14},
};
inline constexpr ui::DialogRes kDialogs[] = {{900, L"Test dialog", 231, 143, kControls}};
inline constexpr ui::StringRes kStrings[] = {{1, L"Active"}, {2, L"Name"}, {3, L"Share"}};
inline constexpr ui::ResourceSet kResources{kDialogs, kStrings};

// Registers kResources for a library of its own for the lifetime of the object.
struct TestLibrary {
  TestLibrary() { CLibMgr::RegisterResources(module, &kResources); }
  ~TestLibrary() { CLibMgr::RegisterResources(module, nullptr); }
  AFX_EXTENSION_MODULE module{true, "libuitest.so"};
};

// Records what its handlers saw; Apply takes the delay and counts.
class TestDlg : public CDialog3d {
 public:
  explicit TestDlg(const AFX_EXTENSION_MODULE& module) : CDialog3d(&module, 900) {}
  CXListCtrl m_list;
  int m_delay = 0;
  int m_applied = 0;
  int m_added = 0;
  std::vector<std::pair<int, int>> m_checks;  // (row, column) of check box clicks
  std::vector<int> m_links;
  std::vector<int> m_clicks;                 // rows of NM_CLICK
  std::vector<std::pair<int, bool>> m_keys;  // key, Ctrl held
  std::vector<std::pair<int, int>> m_combos;
  std::vector<std::pair<int, int>> m_edits;
  std::function<void()> m_onAdd;  // runs in the Add button's handler (opens another dialog)

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, 1001, m_list);
    DDX_Text(pDX, 2009, m_delay);
  }
  BOOL OnInitDialog() override {
    CDialog3d::OnInitDialog();
    D3dLayoutChild(1001, CEdges::TOP_LEFT_BOTTOM_RIGHT());
    D3dLayoutChild(1002, CEdges::BOTTOM | CEdges::LEFT);
    for (int id : {-1, 2009, 1, 2, 2005})
      D3dLayoutChild(id, CEdges::BOTTOM | CEdges::RIGHT);
    D3dLayoutComplete(3);
    return TRUE;
  }
  void OnApply() override {
    UpdateData(TRUE);
    ++m_applied;
  }
  void OnAdd() {
    ++m_added;
    if (m_onAdd) m_onAdd();
  }
  void OnClick(NMHDR* hdr, LRESULT* result) {
    m_clicks.push_back(reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem);
    *result = 0;
  }
  void OnKey(NMHDR* hdr, LRESULT* result) {
    m_keys.emplace_back(reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey, GetKeyState(VK_CONTROL) < 0);
    *result = 0;
  }
  LRESULT OnCheck(WPARAM row, LPARAM column) {
    m_checks.emplace_back(static_cast<int>(row), static_cast<int>(column));
    return 0;
  }
  LRESULT OnLink(WPARAM row, LPARAM) {
    m_links.push_back(static_cast<int>(row));
    return 0;
  }
  LRESULT OnCombo(WPARAM row, LPARAM column) {
    m_combos.emplace_back(static_cast<int>(row), static_cast<int>(column));
    return 0;
  }
  LRESULT OnEdit(WPARAM row, LPARAM column) {
    m_edits.emplace_back(static_cast<int>(row), static_cast<int>(column));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

// Fills the list with one row of every cell kind: check, combo, editable text, link, bar.
inline void FillCells(CXListCtrl& list) {
  const wchar_t* titles[] = {L"Active", L"Rate", L"Name", L"Settings", L"Share"};
  const int widths[] = {50, 60, 90, 60, 80};
  for (int c = 0; c < 5; ++c)
    list.InsertColumn(c, titles[c], 0, widths[c]);
  for (int r = 0; r < 3; ++r) {
    LVITEM item{LVIF_PARAM, r, 0, 100 + r};
    list.InsertItem(item);
    list.SetCheckbox(r, 0, r % 2);
    list.SetComboBox(r, 1, {L"125k", L"250k", L"500k"}, r, 0);
    list.SetItemText(r, 2, (L"source " + std::to_wstring(r)).c_str());
    list.SetEdit(r, 2, true);
    list.SetItemText(r, 3, L"Settings");
    list.SetHyperlink(r, 3, r != 1, true);
    list.SetProgress(r, 4);
    list.UpdateProgress(r, 4, 30 * r + 10);
  }
}

}  // namespace uitest
