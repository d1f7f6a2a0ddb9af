#pragma once
// Guard that starts the host's managed application base once per host and routes its UI messages
// into the host log. Build one wherever the managed side is needed (as a member or a local); only
// the first construction in the host does anything, whether or not the start succeeded, so a
// failed start is logged once and never retried.
#include <string>

class CSharpInit {
 public:
  // [ui] Starts the managed application base for "QX_CAN" / "Pellam" in the settings folder unless
  // an earlier CSharpInit of this host did so (or tried to).
  CSharpInit();

  // [ui] Writes the managed side's settings to their medium.
  void StoreSettings();

  // [ui] A managed UI message: logged as `text` + "\n", category 16, the given style.
  static void OnUiMessage(const std::wstring& text, int style);
};
