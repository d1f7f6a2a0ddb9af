#pragma once
// What a dialog model needs from whatever shows it on a screen. The control model works without
// one (tests, `canhost run`); `canhost ui` installs a factory (CDialog3d::SetViewFactory) so each
// dialog gets a real window while it is open.
class CWnd;

class IDialogView {
 public:
  virtual ~IDialogView() = default;
  // [ui] `control` changed (null: the dialog itself, its size or title, or many controls). The
  // view may coalesce and redraw later, but always from the model's state at that time.
  virtual void Changed(CWnd* control) = 0;
  // [ui] Brings the window in front of the others.
  virtual void Raise() = 0;
};
