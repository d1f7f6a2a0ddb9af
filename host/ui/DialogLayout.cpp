#include "host/ui/DialogLayout.h"

#include <algorithm>

#include "host/ui/CEdges.h"
#include "host/ui/CWnd.h"

namespace ui {

namespace {

// One axis: the near and far coordinate after the window grew by `delta`.
void Follow(bool nearEdge, bool farEdge, int delta, int& lo, int& hi) {
  if (farEdge && nearEdge) {
    hi += delta;
  } else if (farEdge) {
    lo += delta;
    hi += delta;
  }
}

}  // namespace

void DialogLayout::Add(CWnd* child, unsigned edges) {
  if (!child) return;
  m_children.push_back({child, edges, child->GetWindowRect()});
}

void DialogLayout::Complete(int clientWidth, int clientHeight, int flags) {
  m_width = clientWidth;
  m_height = clientHeight;
  m_flags = flags;
  m_complete = true;
}

CRect DialogLayout::Apply(int clientWidth, int clientHeight) {
  if (!m_complete) return CRect{0, 0, clientWidth, clientHeight};
  if (m_flags & 1) clientWidth = std::max(clientWidth, m_width);
  if (m_flags & 2) clientHeight = std::max(clientHeight, m_height);
  const int dx = clientWidth - m_width;
  const int dy = clientHeight - m_height;
  const int upperShare = dy / 2;
  for (const Child& c : m_children) {
    CRect r = c.initial;
    Follow(c.edges & CEdges::LEFT, c.edges & CEdges::RIGHT, dx, r.left, r.right);
    if (c.edges & CEdges::SPLIT_UPPER) {
      r.bottom += upperShare;
    } else if (c.edges & CEdges::SPLIT_LOWER) {
      r.top += upperShare;
      r.bottom += dy;
    } else {
      Follow(c.edges & CEdges::TOP, c.edges & CEdges::BOTTOM, dy, r.top, r.bottom);
    }
    c.wnd->MoveWindow(r);
  }
  return CRect{0, 0, clientWidth, clientHeight};
}

void DialogLayout::Clear() {
  m_children.clear();
  m_complete = false;
}

}  // namespace ui
