#pragma once
// The host's dialog base: a modeless dialog built from a library's template, with data exchange,
// a message map, layout of its children by CEdges, and OK / Cancel / Apply. The object is the
// control model; while the dialog is open, a view (if a factory is installed) shows it. [ui] only.
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "host/mfc/CObject.h"
#include "host/ui/CWnd.h"
#include "host/ui/DialogLayout.h"
#include "host/ui/IDialogView.h"
#include "host/ui/MessageMap.h"

struct AFX_EXTENSION_MODULE;
class CDataExchange;

// The Apply button of the host's dialogs.
inline constexpr int ID_APPLY_NOW = 2005;

class CDialog3d : public CObject {
  DECLARE_DYNAMIC(CDialog3d)

 public:
  using ViewFactory = std::function<std::unique_ptr<IDialogView>(CDialog3d&)>;

  // `module`: the library whose resources hold template `templateId`.
  CDialog3d(const AFX_EXTENSION_MODULE* module, int templateId, CDialog3d* parent = nullptr);
  ~CDialog3d() override;

  // Creates the modeless window: the controls of the template, OnInitDialog, then the view.
  // While open it only brings the window to the top. FALSE (logged) without the template.
  BOOL DisplayDialog();
  bool IsOpen() const noexcept { return m_open; }
  // Non-null exactly while the window exists.
  const void* GetSafeHwnd() const noexcept { return m_open ? this : nullptr; }
  BOOL DestroyWindow();
  void BringWindowToTop();
  int RaiseCount() const noexcept { return m_raised; }

  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  CWnd* GetDlgItem(int id) const;
  void SetDlgItemTextW(int id, const wchar_t* text);
  CString GetDlgItemTextW(int id) const;
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam);
  // Dispatches through the message map: WM_COMMAND (low word id, high word code), WM_NOTIFY
  // (lParam an NMHDR*), and ON_MESSAGE entries. 0 when nobody handles it.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Layout: children registered with their CEdges flags follow a resized window.
  void D3dLayoutChild(int id, unsigned edges);
  void D3dLayoutChild(CWnd* child, unsigned edges);
  void D3dLayoutComplete(int flags);
  // Window updates stop reaching the view until unlocked; then it is told once.
  BOOL LockWindowUpdate();
  void UnlockWindowUpdate();
  bool IsUpdateLocked() const noexcept { return m_locked; }

  // What a person does with the window; each acts only on an existing, visible, enabled control.
  bool ClickButton(int id);
  // Typing that changes the text sends the dialog EN_CHANGE.
  bool TypeText(int id, const wchar_t* text);
  bool ToggleCheck(int id);
  void CloseByFrame();  // the window's close box: Cancel
  // A person drags the frame: the dialog gets WM_SIZE, whose handling here lets the client area
  // take (about) that size and the children follow.
  void Resize(int clientWidth, int clientHeight);

  CString Title() const;
  CRect ClientRect() const noexcept { return m_client; }
  // Controls in template order (subclassed ones included).
  std::vector<CWnd*> Controls() const;
  const ui::DialogRes* Template() const noexcept { return m_template; }
  CDialog3d* Parent() const noexcept { return m_parent; }
  // The dialog the window belongs to, on which the view centres it: the parent given at
  // construction, else the dialog whose handler was running when this one opened (a link or a
  // button of it opened this one); null when the host's main window opened it. A dialog whose
  // opener closes first passes to the opener's own.
  CDialog3d* Opener() const noexcept { return m_opener; }
  // A key pressed in the window outside any cell being edited (a cell's editor keeps its keys):
  // Escape is Cancel, Return the default button (OK), as in every desktop dialog. False when the
  // key does nothing here (another key, or the button is disabled).
  bool PressKey(int virtualKey);
  const AFX_EXTENSION_MODULE* Module() const noexcept { return m_module; }
  // The window showing the dialog, or null (headless, or closed).
  IDialogView* View() const noexcept { return m_view.get(); }

  // [ui] Rebinds control `id` to `control` (data exchange of a control member).
  void SubclassDlgItem(int id, CWnd& control);
  // [ui] A control changed; reaches the view unless window updates are locked.
  void Invalidate(CWnd* control);

  // Dialog units of every dialog: the host's dialog font (set by the view from its real font).
  static void SetDialogUnits(ui::DialogUnits units);
  static ui::DialogUnits Units();
  // The factory of views for dialogs displayed from now on; empty: no window (headless).
  static void SetViewFactory(ViewFactory factory);

 protected:
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnApply();
  // WM_SIZE: the layout of the children follows the new client size. A dialog that handles WM_SIZE
  // itself calls this first.
  LRESULT OnSize(WPARAM type, LPARAM size);
  virtual const ui::MessageMap* GetMessageMap() const;

 public:
  static const ui::MessageMap* GetThisMessageMap();

 private:
  const ui::MessageMapEntry* FindEntry(ui::EntryKind kind, UINT code, int id) const;
  void CreateControls();
  void ReleaseControls();
  // Leaves the open dialogs; those it opened pass to its own opener.
  void LeaveOpenDialogs();

  const AFX_EXTENSION_MODULE* m_module;
  int m_templateId;
  CDialog3d* m_parent;
  CDialog3d* m_opener = nullptr;
  const ui::DialogRes* m_template = nullptr;
  bool m_open = false;
  bool m_locked = false;
  int m_raised = 0;
  CRect m_client;
  std::vector<std::unique_ptr<CWnd>> m_owned;  // controls no member binds
  std::vector<CWnd*> m_controls;               // template order
  ui::DialogLayout m_layout;
  std::unique_ptr<IDialogView> m_view;
};
