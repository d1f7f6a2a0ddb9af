#pragma once
// The host's extended report-style list: cells that are check boxes, combo boxes, in-place
// editable text, hyperlinks or progress bars; item data per row; row selection; a check box in a
// column header. The control model keeps exactly what a person sees, and the input operations
// (Click, EditCell, ChooseCombo, PressKey) do what a person's input does, including the
// notifications the dialog receives. [ui] only; rows and columns are 0-based, and an operation
// on a row or column that does not exist returns FALSE / -1 and changes nothing.
//
// Combo cells either hold labels of their own (SetComboBox; the choice is a position) or show the
// list's global combo strings, one set of (id, text) for every such cell of the list
// (SetComboBoxGlobalStrings; the choice is an id):
//   GlobalComboStringsInsert(-1, L"—"); GlobalComboStringsInsert(0, L"CCanDbcDecoder");
//   SetComboBoxGlobalStrings(0, 1, 0)   -> row 0 shows "CCanDbcDecoder"; GetComboCurSel(0, 1) == 0
//   ChooseCombo(0, 1, 0)                -> "—" chosen;                   GetComboCurSel(0, 1) == -1
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "host/ui/CWnd.h"
#include "host/ui/ListModel.h"
#include "host/ui/UiTypes.h"

class CXListCtrl : public CWnd {
 public:
  int InsertColumn(int column, const wchar_t* title, int format = 0, int width = -1,
                   int subItem = -1);
  int GetColumnCount() const noexcept { return static_cast<int>(m_columns.size()); }
  // The tooltip of column `column`'s header.
  BOOL SetColumnToolTip(int column, const wchar_t* text);
  // Pixels, or LVSCW_AUTOSIZE / LVSCW_AUTOSIZE_USEHEADER. A column of bars has no width of its own
  // content: autosizing leaves it as it is.
  BOOL SetColumnWidth(int column, int width);
  int GetColumnWidth(int column) const;
  // The control width that shows every column without a horizontal scroll bar, with room for a
  // vertical one.
  int GetFittingWidth() const;
  // The control height that shows every row, up to `maxRows` of them (then a scroll bar), below
  // the header.
  int GetFittingHeight(int maxRows) const;
  // Fits `column` to its widest cell and its title (LVSCW_AUTOSIZE_USEHEADER). -1 fits every
  // column and then shares the width the control has beyond them out among the columns, in
  // proportion to their widths, so that they fill it. Dialogs call it after layout and on WM_SIZE.
  BOOL AutosizeColumnWidth(int column);

  // How the view measures (installed by it; without one, estimates from the dialog units).
  struct Measure {
    std::function<int(const CString&)> textWidth;  // pixels of a text in the dialog font
    int chrome = 20;     // what the control takes beside its columns: frame and vertical scroll bar
    int rowHeight = 19;  // pixels of a row
    int headerHeight = 22;  // pixels of the column titles' header
    int frame = 2;          // pixels of the frame, top and bottom together
  };
  // [ui] Empty textWidth: the estimates.
  static void SetMeasure(Measure measure);

  // A row at `item.iItem` (clamped to the end) with `item.lParam` as its item data.
  int InsertItem(const LVITEM& item);
  int InsertItem(int row, const wchar_t* text, void* data = nullptr, std::int64_t data64 = 0);
  int AddItem(const wchar_t* text, void* data = nullptr, std::int64_t data64 = 0);
  BOOL DeleteItem(int row);
  BOOL DeleteAllItems();
  int GetItemCount() const noexcept { return static_cast<int>(m_rows.size()); }

  BOOL SetItemText(int row, int column, const wchar_t* text);
  BOOL SetItemText(int row, int column, int value);
  // A combo cell gives its chosen label.
  CString GetItemText(int row, int column) const;
  BOOL SetEdit(int row, int column, bool editable = true);
  // Editable in place, admitting only what typing an integer of min..max passes through (an
  // empty text among it; IntegerInput.h).
  BOOL SetEditInteger(int row, int column, int min, int max);
  // Marks the cell as refused, with the reason a person reads on it (empty: unmarked).
  BOOL MarkCell(int row, int column, const CString& reason);
  CString GetCellMark(int row, int column) const;
  BOOL SetCheckbox(int row, int column, int checked);
  // 1 ticked, 0 clear, -1 not a check box.
  int GetCheckbox(int row, int column) const;
  int GetItemCheckedState(int row, int column) const { return GetCheckbox(row, column); }
  BOOL SetComboBox(int row, int column, const std::vector<CString>& labels, int selected,
                   int flags = 0);
  // The chosen position of a combo of its own; the id of the chosen string of a combo over the
  // global strings; -1 for none (or the id -1).
  int GetComboCurSel(int row, int column) const;
  // What the combo cell offers, in order (its own labels or the global strings' texts), and the
  // position of its choice (-1: none).
  std::vector<CString> ComboLabels(int row, int column) const;
  int ComboPosition(int row, int column) const;

  // The global combo strings: emptied, one appended (an id given again replaces its text in
  // place), the id of a text (or `fallback`).
  void GlobalComboStringsReset();
  void GlobalComboStringsInsert(int id, const wchar_t* text);
  int GlobalComboStringsGetId(const wchar_t* text, int fallback) const;
  const std::vector<std::pair<int, CString>>& GlobalComboStrings() const noexcept {
    return m_globalStrings;
  }
  // Makes the cell a combo over the global strings with the string of `id` chosen; `dropRows`:
  // rows its open list shows (-1: the view's default).
  BOOL SetComboBoxGlobalStrings(int row, int column, int id, int dropRows = -1);

  // Batch insert mode: while on, the changes of the list reach the view not one by one but once,
  // when the mode is switched off, so filling many rows redraws once.
  void SetBatchInsertMode(bool on);
  bool BatchInsertMode() const noexcept { return m_batch; }
  // Shows the cell's text as a link (`shown`), clickable when `enabled`; not shown: plain text.
  BOOL SetHyperlink(int row, int column, bool shown, bool enabled = true);
  BOOL SetProgress(int row, int column);
  // Percent, clamped to 0..100.
  BOOL UpdateProgress(int row, int column, int percent);
  int GetProgress(int row, int column) const;

  void* GetItemDataPtr(int row) const;
  std::int64_t GetItemData64(int row) const;
  BOOL SetItemData64(int row, std::int64_t data);

  void SetFullRowSelect(bool on);
  bool FullRowSelect() const noexcept { return m_fullRow; }
  BOOL SetItemState(int row, UINT state, UINT mask);
  UINT GetItemState(int row, UINT mask) const;
  // The next row after `start` with the LVNI_SELECTED state, or -1.
  int GetNextItem(int start, int flags) const;
  UINT GetSelectedCount() const;
  // Header check box of `column`: 0 none, 1 clear, 2 ticked, 3 follows the column's rows
  // (ticked when every row is).
  void SetHeaderCheckedState(int column, int state);
  int GetHeaderCheckedState(int column) const;

  // Hovered rows are highlighted like selected ones (a look, no behaviour).
  bool m_bHighlightHover = false;

  // Input as a person gives it. Click on `row` < 0 or past the end clicks below the rows.
  bool Click(int row, int column, bool ctrl = false);
  // False, and nothing changed, for a text the cell does not admit.
  bool EditCell(int row, int column, const wchar_t* text);
  bool ChooseCombo(int row, int column, int index);
  bool PressKey(int virtualKey, bool ctrl = false);
  bool ClickHeaderCheck(int column);

  const std::vector<ui::ListColumn>& Columns() const noexcept { return m_columns; }
  const std::vector<ui::ListRow>& Rows() const noexcept { return m_rows; }
  const ui::ListCell* Cell(int row, int column) const;
  // Changes with every change of columns, rows or cells (the view redraws only after one).
  std::uint64_t Revision() const noexcept { return m_revision; }

 protected:
  void OnAttach() override;

 private:
  ui::ListCell* MutableCell(int row, int column);
  int ContentWidth(int column) const;
  int FittedWidth(int column) const;
  std::vector<CString> GlobalTexts() const;
  bool Accepting() const;
  void Touch();
  void Notify(UINT code, int row, int column);
  void Post(UINT message, int row, int column);

  std::vector<ui::ListColumn> m_columns;
  std::vector<ui::ListRow> m_rows;
  std::vector<int> m_headerChecks;
  std::vector<std::pair<int, CString>> m_globalStrings;
  bool m_fullRow = false;
  bool m_batch = false;
  bool m_batchChanged = false;  // a change waits for the end of the batch
  std::uint64_t m_revision = 0;
};
