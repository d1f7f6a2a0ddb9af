// Input of a CXListCtrl: what a click, a typed cell, a chosen combo entry or a key does.
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"

bool CXListCtrl::Click(int row, int column, bool ctrl) {
  if (!Accepting()) return false;
  if (row >= GetItemCount()) row = -1;
  const bool multi = (Style() & ui::kMultiSelect) != 0;
  for (int r = 0; r < GetItemCount(); ++r) {
    ui::ListRow& target = m_rows[static_cast<std::size_t>(r)];
    if (r == row)
      target.selected = ctrl && multi ? !target.selected : true;
    else if (!(ctrl && multi))
      target.selected = false;
  }
  Touch();
  const ui::ListCell* cell = Cell(row, column);
  if (cell && cell->kind == ui::CellKind::CheckBox && IsWindowEnabled()) {
    MutableCell(row, column)->check = cell->check ? 0 : 1;
    Touch();
    Post(WM_XLISTCTRL_CHECKBOX_CLICKED, row, column);
  } else if (cell && cell->kind == ui::CellKind::Link && cell->linkEnabled) {
    Post(WM_XLISTCTRL_LINK_CLICKED, row, column);
  }
  // The handlers above may have closed the dialog.
  if (Accepting()) Notify(NM_CLICK, row, column);
  return true;
}

bool CXListCtrl::EditCell(int row, int column, const wchar_t* text) {
  ui::ListCell* cell = MutableCell(row, column);
  if (!Accepting() || !cell || !cell->editable || cell->kind != ui::CellKind::Text) return false;
  if (cell->integer && !cell->range.Admits(text)) return false;
  const bool marked = !cell->mark.IsEmpty();
  cell->mark = CString();
  if (cell->text == text) {
    if (marked) Touch();
    return true;
  }
  cell->text = text;
  Touch();
  Post(WM_XLISTCTRL_EDIT_END, row, column);
  return true;
}

bool CXListCtrl::ChooseCombo(int row, int column, int index) {
  ui::ListCell* cell = MutableCell(row, column);
  if (!Accepting() || !cell || cell->kind != ui::CellKind::Combo || index < 0 ||
      index >= static_cast<int>(ComboLabels(row, column).size()))
    return false;
  if (ComboPosition(row, column) == index) return true;
  if (cell->globalStrings)
    cell->comboId = m_globalStrings[static_cast<std::size_t>(index)].first;
  else
    cell->comboSel = index;
  Touch();
  Post(WM_XLISTCTRL_COMBO_SELECTION, row, column);
  return true;
}

bool CXListCtrl::PressKey(int virtualKey, bool ctrl) {
  if (!Accepting()) return false;
  // Ctrl is held for exactly as long as the dialog handles the key.
  struct Hold {
    explicit Hold(bool on) : m_on(on) { ui::SetKeyHeld(VK_CONTROL, m_on); }
    ~Hold() { ui::SetKeyHeld(VK_CONTROL, false); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool m_on;
  } hold(ctrl);
  NMLVKEYDOWN nm;
  nm.hdr = NMHDR{this, GetDlgCtrlID(), LVN_KEYDOWN};
  nm.wVKey = static_cast<unsigned short>(virtualKey);
  GetParent()->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                           reinterpret_cast<LPARAM>(&nm));
  return true;
}

bool CXListCtrl::ClickHeaderCheck(int column) {
  if (!Accepting() || GetHeaderCheckedState(column) == 0) return false;
  const int next = GetHeaderCheckedState(column) == 2 ? 0 : 1;
  for (int r = 0; r < GetItemCount(); ++r) {
    ui::ListCell* cell = MutableCell(r, column);
    if (cell->kind != ui::CellKind::CheckBox || cell->check == next) continue;
    cell->check = next;
    Touch();
    Post(WM_XLISTCTRL_CHECKBOX_CLICKED, r, column);
    if (!Accepting()) return true;
  }
  if (m_headerChecks[static_cast<std::size_t>(column)] != 3)
    m_headerChecks[static_cast<std::size_t>(column)] = next ? 2 : 1;
  Touch();
  return true;
}
