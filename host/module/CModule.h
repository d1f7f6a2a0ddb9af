#pragma once
// Host modules. Threads: [ui] the host's UI thread, [processing] the host's processing thread,
// [reception] a CAN controller's reception thread, [any] any of them.
#include "host/mfc/CObject.h"
#include "host/mfc/CString.h"
#include "host/mfc/Win.h"
#include "host/module/CCommandDispatcher.h"

class CModule : public CObject {
  DECLARE_DYNAMIC(CModule)
 public:
  CModule() = default;
  ~CModule() override = default;

  // [ui] Gives the module its name and parent; true on success.
  virtual BOOL Create(const CString& name, CModule* parent);
  // [ui] Called once after Create.
  virtual void PostCreate() {}
  // [ui] One line describing the module.
  virtual CString InfoText() const { return m_name; }
  // [ui] Shows the module's settings dialog; the default has none.
  virtual void ShowSettingsDialog() {}
  virtual BOOL OnUserIfCommand(UINT /*id*/) { return FALSE; }
  virtual BOOL OnUpdateUserIfCommand(UINT /*id*/) { return FALSE; }
  virtual void OnUpdateUserInterface() {}
  virtual UINT HelpId() const { return 0; }
  virtual void DisplayHelp() {}
  virtual void BuildContextMenu() {}
  virtual void ProcessContextMenu(UINT /*id*/) {}
  virtual void OnDialogNotify(UINT /*code*/) {}

  // [any] The module's name as given to Create.
  const CString& ModuleName() const noexcept { return m_name; }
  CModule* Parent() const noexcept { return m_parent; }
  // [any] The host's command dispatcher (owned by the host).
  CCommandDispatcher& CommandDispatcher() const { return CCommandDispatcher::Host(); }

 protected:
  CString m_name;
  // The key under which the module subscribes to host commands.
  CString m_commandOwner;
  CModule* m_parent = nullptr;
};
