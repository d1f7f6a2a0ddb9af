#include "host/ui/CWnd.h"

#include "host/ui/CDialog3d.h"

void CWnd::Attach(CDialog3d* parent, const ui::ControlRes& res, const CRect& rect) {
  m_parent = parent;
  m_id = res.id;
  m_kind = res.kind;
  m_style = res.style;
  m_text = res.text ? res.text : L"";
  m_rect = rect;
  m_enabled = true;
  m_visible = true;
  m_check = 0;
  m_toolTip = res.tip ? res.tip : L"";
  m_error = CString();
  OnAttach();
}

void CWnd::SetWindowTextW(const wchar_t* text) {
  const CString next(text);
  if (next == m_text) return;
  m_text = next;
  Changed();
}

BOOL CWnd::EnableWindow(BOOL enable) {
  const bool wasDisabled = !m_enabled;
  if (m_enabled != (enable != FALSE)) {
    m_enabled = enable != FALSE;
    Changed();
  }
  return wasDisabled ? TRUE : FALSE;
}

void CWnd::ShowWindow(bool show) {
  if (m_visible == show) return;
  m_visible = show;
  Changed();
}

void CWnd::MoveWindow(const CRect& rect) {
  if (m_rect == rect) return;
  m_rect = rect;
  Changed();
}

void CWnd::SetCheck(int check) {
  if (m_check == check) return;
  m_check = check;
  Changed();
}

void CWnd::SetToolTip(const CString& text) {
  if (m_toolTip == text) return;
  m_toolTip = text;
  Changed();
}

void CWnd::SetError(const CString& reason) {
  if (m_error == reason) return;
  m_error = reason;
  Changed();
}

void CWnd::Changed() {
  if (m_parent) m_parent->Invalidate(this);
}
