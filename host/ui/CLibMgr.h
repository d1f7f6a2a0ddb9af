#pragma once
// The host's library manager, as far as dialogs use it: strings and dialog templates of the
// library whose resources are selected (CSwitchResourceDefault).
#include "host/mfc/CString.h"
#include "host/ui/DialogResource.h"

struct AFX_EXTENSION_MODULE;

class CLibMgr {
 public:
  // [ui] Attaches a library's resources to its extension module; null detaches them. The data
  // must outlive the registration (it is the library's constant data).
  static void RegisterResources(const AFX_EXTENSION_MODULE& module, const ui::ResourceSet* set);

  // [ui] String `id` of the selected library, else of any registered library; empty when none
  // has it.
  static CString LoadStringW(UINT id);

  // [ui] Template `id` of the given library's resources, or null.
  static const ui::DialogRes* FindDialog(const AFX_EXTENSION_MODULE* module, int id);

  // [ui] The resources registered for `module`, or null.
  static const ui::ResourceSet* Resources(const AFX_EXTENSION_MODULE* module);

  // [ui] The selected library (CSwitchResourceDefault), or null.
  static const AFX_EXTENSION_MODULE* Selected();
  static const AFX_EXTENSION_MODULE* Select(const AFX_EXTENSION_MODULE* module);
};
