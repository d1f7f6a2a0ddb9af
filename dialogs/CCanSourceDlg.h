#pragma once
// The "CAN-Bus" dialog of the source module: the channel table and the CAN bus delay. Runs on [ui]
// only; reaches the module through ISourceModuleAccess.
#include "source/ISourceModuleAccess.h"
#include "sources/ISettingsDialog.h"

class CCanSourceDlg : public ISettingsDialog {
 public:
  explicit CCanSourceDlg(ISourceModuleAccess& module) : m_module(module) {}

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show() override { m_open = true; }
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }
  // [ui] While acquisition runs the table cannot be applied: OK and Apply are disabled.
  bool apply_enabled() const noexcept { return !m_module.running(); }

 private:
  ISourceModuleAccess& m_module;
  bool m_open = false;
};
