#include "host/ui/CDialog3d.h"

#include <cwchar>
#include <string>

#include "host/module/ExtensionModule.h"
#include "host/services/Host.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/IntegerInput.h"

IMPLEMENT_DYNAMIC(CDialog3d, CObject)

namespace {

// The UI runs on one thread. What the window system installs (its units, its views) is set up
// once for the process: a new host starts with it.
struct Installed {
  static constexpr bool kInherited = true;
  ui::DialogUnits units;
  CDialog3d::ViewFactory viewFactory;
};
Installed& TheInstalled() {
  return host::CurrentHost().Get<Installed>();
}

struct Dialogs {
  // Dialogs whose handlers run, innermost last: the last one opens what opens now.
  std::vector<CDialog3d*> handling;
  // Open dialogs, so that those a closing dialog opened pass to its opener.
  std::vector<CDialog3d*> open;
};
Dialogs& TheDialogs() {
  return host::CurrentHost().Get<Dialogs>();
}

// Marks `dialog` as handling a message for the lifetime of the object.
class Handling {
 public:
  explicit Handling(CDialog3d* dialog) { TheDialogs().handling.push_back(dialog); }
  ~Handling() { TheDialogs().handling.pop_back(); }
  Handling(const Handling&) = delete;
  Handling& operator=(const Handling&) = delete;
};

bool Usable(const CWnd* w) {
  return w && w->IsWindowEnabled() && w->IsWindowVisible();
}

}  // namespace

const ui::MessageMap* CDialog3d::GetThisMessageMap() {
  static const ui::MessageMapEntry entries[] = {
      {ui::EntryKind::Command, BN_CLICKED, IDOK, &CDialog3d::OnOK, nullptr, nullptr},
      {ui::EntryKind::Command, BN_CLICKED, IDCANCEL, &CDialog3d::OnCancel, nullptr, nullptr},
      {ui::EntryKind::Command, BN_CLICKED, ID_APPLY_NOW, &CDialog3d::OnApply, nullptr, nullptr},
      {ui::EntryKind::Message, WM_SIZE, 0, nullptr, nullptr, &CDialog3d::OnSize},
  };
  static const ui::MessageMap map{nullptr, entries};
  return &map;
}

const ui::MessageMap* CDialog3d::GetMessageMap() const {
  return GetThisMessageMap();
}

CDialog3d::CDialog3d(const AFX_EXTENSION_MODULE* module, int templateId, CDialog3d* parent)
    : m_module(module), m_templateId(templateId), m_parent(parent) {}

CDialog3d::~CDialog3d() {
  LeaveOpenDialogs();
  m_view.reset();
  // Controls that are members of a derived dialog are gone by now: only forget them.
  m_controls.clear();
  m_owned.clear();
}

BOOL CDialog3d::DisplayDialog() {
  if (m_open) {
    BringWindowToTop();
    return TRUE;
  }
  m_template = CLibMgr::FindDialog(m_module, m_templateId);
  if (!m_template) {
    const std::string lib = m_module ? m_module->libraryName : std::string("?");
    PrWin::Output((L"CDialog3d::DisplayDialog(): no dialog template " +
                   std::to_wstring(m_templateId) + L" in " + CString::FromUtf8(lib).str() + L"\n")
                      .c_str(),
                  PrWin::kCategoryError, PrWin::kStyleError);
    return FALSE;
  }
  CreateControls();
  m_opener = m_parent;
  Dialogs& dialogs = TheDialogs();
  if (m_opener == nullptr && !dialogs.handling.empty() && dialogs.handling.back() != this)
    m_opener = dialogs.handling.back();
  m_open = true;
  dialogs.open.push_back(this);
  OnInitDialog();
  const ViewFactory& viewFactory = TheInstalled().viewFactory;
  if (m_open && viewFactory) m_view = viewFactory(*this);
  return m_open ? TRUE : FALSE;
}

void CDialog3d::CreateControls() {
  const ui::DialogUnits& units = TheInstalled().units;
  m_client = ui::ToPixels(units, 0, 0, m_template->cx, m_template->cy);
  for (const ui::ControlRes& res : m_template->controls) {
    auto wnd = std::make_unique<CWnd>();
    wnd->Attach(this, res, ui::ToPixels(units, res.x, res.y, res.cx, res.cy));
    m_controls.push_back(wnd.get());
    m_owned.push_back(std::move(wnd));
  }
}

void CDialog3d::ReleaseControls() {
  for (CWnd* w : m_controls)
    w->Attach(nullptr, ui::ControlRes{w->GetDlgCtrlID(), w->Kind(), L"", 0, 0, 0, 0}, CRect{});
  m_controls.clear();
  m_owned.clear();
  m_layout.Clear();
}

BOOL CDialog3d::DestroyWindow() {
  if (!m_open) return FALSE;
  m_open = false;
  m_locked = false;
  LeaveOpenDialogs();
  m_view.reset();
  ReleaseControls();
  m_opener = nullptr;
  return TRUE;
}

void CDialog3d::LeaveOpenDialogs() {
  std::erase(TheDialogs().open, this);
  for (CDialog3d* d : TheDialogs().open)
    if (d->m_opener == this) d->m_opener = m_opener;
}

bool CDialog3d::PressKey(int virtualKey) {
  if (!m_open) return false;
  if (virtualKey == VK_ESCAPE) {
    // A window without a usable Cancel closes by its frame, as Escape does on the desktop.
    if (!ClickButton(IDCANCEL)) CloseByFrame();
    return true;
  }
  if (virtualKey != VK_RETURN) return false;
  for (CWnd* w : m_controls)
    if (w->Kind() == ui::ControlKind::DefaultButton) return ClickButton(w->GetDlgCtrlID());
  return false;
}

void CDialog3d::BringWindowToTop() {
  if (!m_open) return;
  ++m_raised;
  if (m_view) m_view->Raise();
}

BOOL CDialog3d::UpdateData(BOOL saveAndValidate) {
  if (!m_open) return FALSE;
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return dx.Failed() ? FALSE : TRUE;
}

CWnd* CDialog3d::GetDlgItem(int id) const {
  for (CWnd* w : m_controls)
    if (w->GetDlgCtrlID() == id) return w;
  return nullptr;
}

void CDialog3d::SetDlgItemTextW(int id, const wchar_t* text) {
  if (CWnd* w = GetDlgItem(id)) w->SetWindowTextW(text);
}

CString CDialog3d::GetDlgItemTextW(int id) const {
  const CWnd* w = GetDlgItem(id);
  return w ? w->GetWindowTextW() : CString();
}

LRESULT CDialog3d::SendDlgItemMessage(int id, UINT message, WPARAM, LPARAM lParam) {
  CWnd* w = GetDlgItem(id);
  if (!w || message != WM_SETTEXT) return 0;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the host's messages carry pointers in LPARAM
  w->SetWindowTextW(reinterpret_cast<const wchar_t*>(lParam));
  return 1;
}

const ui::MessageMapEntry* CDialog3d::FindEntry(ui::EntryKind kind, UINT code, int id) const {
  for (const ui::MessageMap* map = GetMessageMap(); map; map = map->base)
    for (const ui::MessageMapEntry& e : map->entries)
      if (e.kind == kind && e.code == code && (kind == ui::EntryKind::Message || e.id == id) &&
          (e.command || e.notify || e.message))
        return &e;
  return nullptr;
}

LRESULT CDialog3d::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const Handling handling(this);
  if (message == WM_COMMAND) {
    const int id = static_cast<int>(wParam & 0xFFFF);
    const auto code = static_cast<UINT>((wParam >> 16) & 0xFFFF);
    if (const auto* e = FindEntry(ui::EntryKind::Command, code, id)) (this->*(e->command))();
    return 0;
  }
  if (message == WM_NOTIFY) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the host's messages carry pointers in LPARAM
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    LRESULT result = 0;
    if (const auto* e = FindEntry(ui::EntryKind::Notify, hdr->code, hdr->idFrom))
      (this->*(e->notify))(hdr, &result);
    return result;
  }
  const auto* e = FindEntry(ui::EntryKind::Message, message, 0);
  return e ? (this->*(e->message))(wParam, lParam) : 0;
}

void CDialog3d::D3dLayoutChild(int id, unsigned edges) {
  m_layout.Add(GetDlgItem(id), edges);
}

void CDialog3d::D3dLayoutChild(CWnd* child, unsigned edges) {
  m_layout.Add(child, edges);
}

void CDialog3d::D3dLayoutComplete(int flags) {
  m_layout.Complete(m_client.Width(), m_client.Height(), flags);
}

BOOL CDialog3d::LockWindowUpdate() {
  if (m_locked) return FALSE;
  m_locked = true;
  return TRUE;
}

void CDialog3d::UnlockWindowUpdate() {
  if (!m_locked) return;
  m_locked = false;
  Invalidate(nullptr);
}

bool CDialog3d::ClickButton(int id) {
  CWnd* w = GetDlgItem(id);
  if (!m_open || !Usable(w)) return false;
  if (w->Kind() == ui::ControlKind::CheckBox) w->SetCheck(w->GetCheck() ? 0 : 1);
  SendMessage(WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF) | (WPARAM{BN_CLICKED} << 16), 0);
  return true;
}

bool CDialog3d::TypeText(int id, const wchar_t* text) {
  CWnd* w = GetDlgItem(id);
  if (!m_open || !Usable(w) || w->Kind() != ui::ControlKind::Edit || (w->Style() & ui::kReadOnly))
    return false;
  if ((w->Style() & ui::kDigitsOnly) && std::wcsspn(text, L"0123456789") != std::wcslen(text))
    return false;
  if ((w->Style() & ui::kSignedDigits) && !ui::IntegerInput{}.Admits(text)) return false;
  w->SetError(CString());
  if (w->GetWindowTextW() == text) return true;
  w->SetWindowTextW(text);
  SendMessage(WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF) | (WPARAM{EN_CHANGE} << 16), 0);
  return true;
}

bool CDialog3d::ToggleCheck(int id) {
  const CWnd* w = GetDlgItem(id);
  return w && w->Kind() == ui::ControlKind::CheckBox && ClickButton(id);
}

void CDialog3d::CloseByFrame() {
  if (m_open) SendMessage(WM_COMMAND, IDCANCEL, 0);
}

void CDialog3d::Resize(int clientWidth, int clientHeight) {
  if (!m_open) return;
  SendMessage(WM_SIZE, SIZE_RESTORED, MakeSizeParam(clientWidth, clientHeight));
}

LRESULT CDialog3d::OnSize(WPARAM, LPARAM size) {
  m_client = m_layout.Apply(SizeWidth(size), SizeHeight(size));
  Invalidate(nullptr);
  return 0;
}

CString CDialog3d::Title() const {
  return m_template ? CString(m_template->title) : CString();
}

std::vector<CWnd*> CDialog3d::Controls() const {
  return m_controls;
}

void CDialog3d::SubclassDlgItem(int id, CWnd& control) {
  for (CWnd*& slot : m_controls) {
    if (slot->GetDlgCtrlID() != id || slot == &control) continue;
    const CString text = slot->GetWindowTextW();
    const ui::ControlRes res{id, slot->Kind(), text.GetString(), 0, 0, 0, 0, slot->Style()};
    control.Attach(this, res, slot->GetWindowRect());
    slot = &control;
    return;
  }
}

void CDialog3d::Invalidate(CWnd* control) {
  if (m_view && !m_locked) m_view->Changed(control);
}

void CDialog3d::SetDialogUnits(ui::DialogUnits units) {
  TheInstalled().units = units;
}

ui::DialogUnits CDialog3d::Units() {
  return TheInstalled().units;
}

void CDialog3d::SetViewFactory(ViewFactory factory) {
  TheInstalled().viewFactory = std::move(factory);
}

BOOL CDialog3d::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog3d::DoDataExchange(CDataExchange*) {}

void CDialog3d::OnOK() {
  if (UpdateData(TRUE)) DestroyWindow();
}

void CDialog3d::OnCancel() {
  DestroyWindow();
}

void CDialog3d::OnApply() {
  UpdateData(TRUE);
}
