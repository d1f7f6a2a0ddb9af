#pragma once
// A window of the control model: a dialog's control with its id, kind, text, position in pixels,
// and enabled and visible states. It is what a person sees of the control, kept without any
// display; a view (IDialogView) shows it and is told of every change.
#include "host/mfc/CString.h"
#include "host/ui/DialogResource.h"

class CDialog3d;

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // [ui] Binds the object to a control of `parent` made from `res` at `rect`.
  void Attach(CDialog3d* parent, const ui::ControlRes& res, const CRect& rect);

  int GetDlgCtrlID() const noexcept { return m_id; }
  ui::ControlKind Kind() const noexcept { return m_kind; }
  unsigned Style() const noexcept { return m_style; }
  CDialog3d* GetParent() const noexcept { return m_parent; }

  void SetWindowTextW(const wchar_t* text);
  CString GetWindowTextW() const { return m_text; }
  BOOL EnableWindow(BOOL enable = TRUE);  // returns TRUE when it was disabled before
  BOOL IsWindowEnabled() const noexcept { return m_enabled; }
  void ShowWindow(bool show);
  bool IsWindowVisible() const noexcept { return m_visible; }
  void MoveWindow(const CRect& rect);
  CRect GetWindowRect() const noexcept { return m_rect; }
  // Check boxes: 1 ticked, 0 clear.
  void SetCheck(int check);
  int GetCheck() const noexcept { return m_check; }
  // What the control says when the pointer rests on it (empty: nothing): the template's tip, or
  // what the dialog sets, e.g. why it is disabled.
  void SetToolTip(const CString& text);
  const CString& ToolTip() const noexcept { return m_toolTip; }
  // A refused value: the control is marked and says why (empty: not marked). Typing clears it.
  void SetError(const CString& reason);
  const CString& Error() const noexcept { return m_error; }

 protected:
  // A new window takes the object (or the window goes): state of the old window is dropped.
  virtual void OnAttach() {}
  // Tells the dialog's view that this control changed.
  void Changed();

 private:
  CDialog3d* m_parent = nullptr;
  int m_id = -1;
  ui::ControlKind m_kind = ui::ControlKind::Static;
  unsigned m_style = 0;
  CString m_text;
  CRect m_rect;
  bool m_enabled = true;
  bool m_visible = true;
  int m_check = 0;
  CString m_toolTip;
  CString m_error;
};
