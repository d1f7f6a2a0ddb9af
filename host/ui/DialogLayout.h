#pragma once
// Moves and stretches a dialog's registered children when its client area changes size, by their
// CEdges flags, relative to the sizes they had when the layout was completed.
#include <vector>

#include "host/ui/UiTypes.h"

class CWnd;

namespace ui {

class DialogLayout {
 public:
  // [ui] Registers `child` with its CEdges flags; its current rectangle is its initial one.
  void Add(CWnd* child, unsigned edges);
  // [ui] Freezes the initial client size; `flags` bit 1 keeps the width and bit 2 the height from
  // going below it.
  void Complete(int clientWidth, int clientHeight, int flags);
  // [ui] The size the client area may take (clamped by the minimum), and moves the children.
  CRect Apply(int clientWidth, int clientHeight);
  bool IsComplete() const noexcept { return m_complete; }
  void Clear();

 private:
  struct Child {
    CWnd* wnd;
    unsigned edges;
    CRect initial;
  };
  std::vector<Child> m_children;
  int m_width = 0;
  int m_height = 0;
  int m_flags = 0;
  bool m_complete = false;
};

}  // namespace ui
