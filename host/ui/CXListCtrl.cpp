#include "host/ui/CXListCtrl.h"

#include <algorithm>
#include <set>
#include <string>

#include "host/services/Host.h"
#include "host/ui/CDialog3d.h"

namespace {

// Keys held by the input being delivered; the UI is one thread.
struct KeysHeld {
  std::set<int> keys;
};
std::set<int>& TheKeysHeld() {
  return host::CurrentHost().Get<KeysHeld>().keys;
}

}  // namespace

short GetKeyState(int virtualKey) {
  return TheKeysHeld().count(virtualKey) ? static_cast<short>(0x8000) : 0;
}

namespace ui {
void SetKeyHeld(int virtualKey, bool held) {
  if (held)
    TheKeysHeld().insert(virtualKey);
  else
    TheKeysHeld().erase(virtualKey);
}
}  // namespace ui

int CXListCtrl::InsertColumn(int column, const wchar_t* title, int format, int width, int) {
  if (column < 0) return -1;
  column = std::min(column, GetColumnCount());
  m_columns.insert(m_columns.begin() + column,
                   {CString(title), format, width < 0 ? 80 : width, CString()});
  m_headerChecks.insert(m_headerChecks.begin() + column, 0);
  for (ui::ListRow& r : m_rows)
    r.cells.insert(r.cells.begin() + column, ui::ListCell{});
  Touch();
  return column;
}

BOOL CXListCtrl::SetColumnToolTip(int column, const wchar_t* text) {
  if (column < 0 || column >= GetColumnCount()) return FALSE;
  m_columns[static_cast<std::size_t>(column)].tip = text;
  Touch();
  return TRUE;
}

int CXListCtrl::InsertItem(const LVITEM& item) {
  const int row = InsertItem(item.iItem, L"");
  if (row >= 0 && (item.mask & LVIF_PARAM))
    m_rows[static_cast<std::size_t>(row)].data = item.lParam;
  return row;
}

int CXListCtrl::InsertItem(int row, const wchar_t* text, void* data, std::int64_t data64) {
  if (row < 0) return -1;
  row = std::min(row, GetItemCount());
  ui::ListRow r;
  r.cells.resize(m_columns.size());
  if (!r.cells.empty()) r.cells[0].text = text;
  r.ptr = data;
  r.data = data64;
  m_rows.insert(m_rows.begin() + row, std::move(r));
  Touch();
  return row;
}

int CXListCtrl::AddItem(const wchar_t* text, void* data, std::int64_t data64) {
  return InsertItem(GetItemCount(), text, data, data64);
}

BOOL CXListCtrl::DeleteItem(int row) {
  if (row < 0 || row >= GetItemCount()) return FALSE;
  m_rows.erase(m_rows.begin() + row);
  Touch();
  return TRUE;
}

BOOL CXListCtrl::DeleteAllItems() {
  m_rows.clear();
  Touch();
  return TRUE;
}

ui::ListCell* CXListCtrl::MutableCell(int row, int column) {
  if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount()) return nullptr;
  return &m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

const ui::ListCell* CXListCtrl::Cell(int row, int column) const {
  return const_cast<CXListCtrl*>(this)->MutableCell(row, column);
}

BOOL CXListCtrl::SetItemText(int row, int column, const wchar_t* text) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->text = text;
  Touch();
  return TRUE;
}

BOOL CXListCtrl::SetItemText(int row, int column, int value) {
  return SetItemText(row, column, std::to_wstring(value).c_str());
}

CString CXListCtrl::GetItemText(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  if (!c) return {};
  if (c->kind == ui::CellKind::Combo) {
    const int position = ComboPosition(row, column);
    return position >= 0 ? ComboLabels(row, column)[static_cast<std::size_t>(position)] : CString();
  }
  return c->text;
}

BOOL CXListCtrl::SetEdit(int row, int column, bool editable) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->editable = editable;
  Touch();
  return TRUE;
}

BOOL CXListCtrl::SetEditInteger(int row, int column, int min, int max) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->editable = true;
  c->integer = true;
  c->range = ui::IntegerInput{min, max};
  Touch();
  return TRUE;
}

BOOL CXListCtrl::MarkCell(int row, int column, const CString& reason) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  if (c->mark == reason) return TRUE;
  c->mark = reason;
  Touch();
  return TRUE;
}

CString CXListCtrl::GetCellMark(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  return c ? c->mark : CString();
}

BOOL CXListCtrl::SetCheckbox(int row, int column, int checked) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->kind = ui::CellKind::CheckBox;
  c->check = checked ? 1 : 0;
  Touch();
  return TRUE;
}

int CXListCtrl::GetCheckbox(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  return c && c->kind == ui::CellKind::CheckBox ? c->check : -1;
}

BOOL CXListCtrl::SetComboBox(int row, int column, const std::vector<CString>& labels, int selected,
                             int) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->kind = ui::CellKind::Combo;
  c->labels = labels;
  c->comboSel = selected >= 0 && selected < static_cast<int>(labels.size()) ? selected : -1;
  c->globalStrings = false;
  Touch();
  return TRUE;
}

BOOL CXListCtrl::SetHyperlink(int row, int column, bool shown, bool enabled) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->kind = shown ? ui::CellKind::Link : ui::CellKind::Text;
  c->linkEnabled = shown && enabled;
  Touch();
  return TRUE;
}

BOOL CXListCtrl::SetProgress(int row, int column) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->kind = ui::CellKind::Progress;
  c->progress = 0;
  Touch();
  return TRUE;
}

BOOL CXListCtrl::UpdateProgress(int row, int column, int percent) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c || c->kind != ui::CellKind::Progress) return FALSE;
  percent = std::clamp(percent, 0, 100);
  if (c->progress == percent) return TRUE;
  c->progress = percent;
  Touch();
  return TRUE;
}

int CXListCtrl::GetProgress(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  return c && c->kind == ui::CellKind::Progress ? c->progress : -1;
}

void* CXListCtrl::GetItemDataPtr(int row) const {
  if (row < 0 || row >= GetItemCount()) return nullptr;
  const ui::ListRow& r = m_rows[static_cast<std::size_t>(row)];
  // NOLINTNEXTLINE(performance-no-int-to-ptr): callers keep integers in the host's pointer slot
  return r.ptr ? r.ptr : reinterpret_cast<void*>(static_cast<std::intptr_t>(r.data));
}

std::int64_t CXListCtrl::GetItemData64(int row) const {
  return row >= 0 && row < GetItemCount() ? m_rows[static_cast<std::size_t>(row)].data : 0;
}

BOOL CXListCtrl::SetItemData64(int row, std::int64_t data) {
  if (row < 0 || row >= GetItemCount()) return FALSE;
  m_rows[static_cast<std::size_t>(row)].data = data;
  return TRUE;
}

void CXListCtrl::SetFullRowSelect(bool on) {
  m_fullRow = on;
  Touch();
}

BOOL CXListCtrl::SetItemState(int row, UINT state, UINT mask) {
  if (row < 0 || row >= GetItemCount()) return FALSE;
  if (mask & LVIS_SELECTED) {
    m_rows[static_cast<std::size_t>(row)].selected = (state & LVIS_SELECTED) != 0;
    Touch();
  }
  return TRUE;
}

UINT CXListCtrl::GetItemState(int row, UINT mask) const {
  if (row < 0 || row >= GetItemCount()) return 0;
  return m_rows[static_cast<std::size_t>(row)].selected ? (LVIS_SELECTED & mask) : 0;
}

int CXListCtrl::GetNextItem(int start, int flags) const {
  for (int r = std::max(start + 1, 0); r < GetItemCount(); ++r)
    if (!(flags & LVNI_SELECTED) || m_rows[static_cast<std::size_t>(r)].selected) return r;
  return -1;
}

UINT CXListCtrl::GetSelectedCount() const {
  return static_cast<UINT>(
      std::count_if(m_rows.begin(), m_rows.end(), [](const ui::ListRow& r) { return r.selected; }));
}

void CXListCtrl::SetHeaderCheckedState(int column, int state) {
  if (column < 0 || column >= GetColumnCount()) return;
  m_headerChecks[static_cast<std::size_t>(column)] = state;
  Touch();
}

int CXListCtrl::GetHeaderCheckedState(int column) const {
  if (column < 0 || column >= GetColumnCount()) return 0;
  const int state = m_headerChecks[static_cast<std::size_t>(column)];
  if (state != 3) return state;
  const bool all = !m_rows.empty() && std::all_of(m_rows.begin(), m_rows.end(), [&](const auto& r) {
    return r.cells[static_cast<std::size_t>(column)].check == 1;
  });
  return all ? 2 : 1;
}

bool CXListCtrl::Accepting() const {
  return GetParent() && GetParent()->IsOpen() && IsWindowEnabled() && IsWindowVisible();
}

void CXListCtrl::Touch() {
  ++m_revision;
  if (m_batch)
    m_batchChanged = true;
  else
    Changed();
}

void CXListCtrl::Notify(UINT code, int row, int column) {
  NMITEMACTIVATE nm;
  nm.hdr = NMHDR{this, GetDlgCtrlID(), code};
  nm.iItem = row;
  nm.iSubItem = column;
  GetParent()->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                           reinterpret_cast<LPARAM>(&nm));
}

void CXListCtrl::Post(UINT message, int row, int column) {
  GetParent()->SendMessage(message, static_cast<WPARAM>(row), static_cast<LPARAM>(column));
}

void CXListCtrl::OnAttach() {
  m_columns.clear();
  m_rows.clear();
  m_headerChecks.clear();
  m_globalStrings.clear();
  m_fullRow = false;
  m_batch = false;
  m_batchChanged = false;
  Touch();
}

namespace {

// Installed by the window system once for the process: a new host starts with it.
struct InstalledMeasure {
  static constexpr bool kInherited = true;
  CXListCtrl::Measure measure;
};
CXListCtrl::Measure& TheMeasure() {
  return host::CurrentHost().Get<InstalledMeasure>().measure;
}

// Room around a cell's content; the width of a check box and of a combo cell's button.
constexpr int kCellMargin = 12;
constexpr int kCheckWidth = 13;
constexpr int kComboButton = 18;

int TextWidth(const CString& text) {
  const CXListCtrl::Measure& measure = TheMeasure();
  if (measure.textWidth) return measure.textWidth(text);
  return CDialog3d::Units().charWidth * static_cast<int>(text.GetLength());
}

}  // namespace

void CXListCtrl::SetMeasure(Measure measure) {
  TheMeasure() = std::move(measure);
}

int CXListCtrl::ContentWidth(int column) const {
  int width = 0;
  for (const ui::ListRow& r : m_rows) {
    const ui::ListCell& c = r.cells[static_cast<std::size_t>(column)];
    switch (c.kind) {
      case ui::CellKind::Text:
      case ui::CellKind::Link:
        width = std::max(width, TextWidth(c.text));
        break;
      case ui::CellKind::CheckBox:
        width = std::max(width, kCheckWidth);
        break;
      case ui::CellKind::Combo:
        // Any label may be chosen: room for the widest.
        for (const CString& label : c.globalStrings ? GlobalTexts() : c.labels)
          width = std::max(width, TextWidth(label) + kComboButton);
        break;
      case ui::CellKind::Progress:
        return -1;
    }
  }
  return width + kCellMargin;
}

int CXListCtrl::FittedWidth(int column) const {
  const ui::ListColumn& col = m_columns[static_cast<std::size_t>(column)];
  const int content = ContentWidth(column);
  if (content < 0) return col.width;
  const int box = m_headerChecks[static_cast<std::size_t>(column)] != 0 ? kCheckWidth + 8 : 0;
  return std::max(content, TextWidth(col.title) + kCellMargin + box);
}

BOOL CXListCtrl::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= GetColumnCount()) return FALSE;
  ui::ListColumn& col = m_columns[static_cast<std::size_t>(column)];
  if (width == LVSCW_AUTOSIZE) {
    const int content = ContentWidth(column);
    if (content < 0) return TRUE;
    width = content;
  } else if (width == LVSCW_AUTOSIZE_USEHEADER) {
    width = FittedWidth(column);
  }
  col.width = std::max(width, 0);
  Touch();
  return TRUE;
}

BOOL CXListCtrl::AutosizeColumnWidth(int column) {
  if (column >= 0) return SetColumnWidth(column, LVSCW_AUTOSIZE_USEHEADER);
  if (column != -1) return FALSE;
  std::vector<int> widths;
  int total = 0;
  for (int c = 0; c < GetColumnCount(); ++c)
    total += widths.emplace_back(FittedWidth(c));
  // What the control shows of its columns: its width less frame and vertical scroll bar.
  const int spare = GetWindowRect().Width() - TheMeasure().chrome - total;
  if (spare > 0 && total > 0) {
    int given = 0;
    for (std::size_t c = 0; c < widths.size(); ++c) {
      // The last column takes what rounding left, so the columns end at the control's edge.
      const int share = c + 1 == widths.size()
                            ? spare - given
                            : static_cast<int>(static_cast<long long>(spare) * widths[c] / total);
      widths[c] += share;
      given += share;
    }
  }
  for (std::size_t c = 0; c < widths.size(); ++c)
    m_columns[c].width = widths[c];
  Touch();
  return TRUE;
}

int CXListCtrl::GetColumnWidth(int column) const {
  if (column < 0 || column >= GetColumnCount()) return 0;
  return m_columns[static_cast<std::size_t>(column)].width;
}

int CXListCtrl::GetFittingHeight(int maxRows) const {
  const int rows = std::min(GetItemCount(), maxRows);
  const Measure& measure = TheMeasure();
  return measure.frame + measure.headerHeight + rows * measure.rowHeight;
}

int CXListCtrl::GetFittingWidth() const {
  int width = TheMeasure().chrome;
  for (const ui::ListColumn& c : m_columns)
    width += c.width;
  return width;
}
