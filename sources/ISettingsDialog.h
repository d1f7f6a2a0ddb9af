#pragma once
// A source's or the source module's settings window as its owner sees it. The windows live in
// dialogs/, above the sources: the owner gets its window from a factory that the plug-in's library
// entry installs, and works without one (no window, nothing shown).

class ISettingsDialog {
 public:
  virtual ~ISettingsDialog() = default;
  // [ui] Opens the window, or brings it to the top when it is open.
  virtual void show() = 0;
  // [ui] Reads the owner's statistics snapshot again; nothing while the window is closed.
  virtual void refresh() {}
  // [ui] The owner's acquisition started (true) or stopped: an open window's OK and Apply follow,
  // where changes must wait for the stop.
  virtual void running_changed(bool /*running*/) {}
};
