#pragma once
// What a CXListCtrl holds: columns, rows and cells, as a person sees them.
#include <cstdint>
#include <vector>

#include "host/mfc/CString.h"
#include "host/ui/IntegerInput.h"

namespace ui {

enum class CellKind {
  Text,      // plain text, editable in place when `editable`
  CheckBox,  // `check` 1 ticked, 0 clear
  Combo,     // `labels` with `comboSel` chosen (-1: none)
  Link,      // `text` drawn as a hyperlink; clickable when `linkEnabled`
  Progress,  // bar filled to `progress` percent
};

struct ListCell {
  CString text;
  CellKind kind = CellKind::Text;
  bool editable = false;
  int check = 0;
  std::vector<CString> labels;  // a combo of its own; empty for one over the global strings
  int comboSel = -1;
  bool globalStrings = false;  // a combo over the list's global combo strings
  int comboId = -1;            // ... with the string of this id chosen (none: an unknown id)
  int dropRows = -1;           // rows its open list shows; -1 the view's default
  bool linkEnabled = false;
  int progress = 0;      // 0..100
  bool integer = false;  // an editable text that admits `range` only (IntegerInput)
  IntegerInput range;
  CString mark;  // why the cell's value was refused; empty: not marked. Editing clears it.
};

struct ListColumn {
  CString title;
  int format = 0;  // 0 left aligned
  int width = 0;   // pixels
  CString tip;     // the header's tooltip: what the column means; empty for none
};

struct ListRow {
  std::vector<ListCell> cells;  // one per column
  std::int64_t data = 0;        // item data (the list item's parameter)
  void* ptr = nullptr;          // item data pointer
  bool selected = false;
};

}  // namespace ui
