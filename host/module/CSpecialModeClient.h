#pragma once
#include "host/module/CModule.h"

// A module that takes part in the host's special modes (shutdown, settings re-read, ...).
class CSpecialModeClient : public CModule, public CCommandDispatcherClient {
  DECLARE_DYNAMIC(CSpecialModeClient)
 public:
  CSpecialModeClient() = default;
  ~CSpecialModeClient() override = default;

  BOOL Create(const CString& name, CModule* parent) override;
  virtual void OnSpecialMode(int /*mode*/) {}
  virtual void OnSpecialCreate() {}
  virtual void OnSpecialPostCreate() {}
  virtual void OnSpecialIdle() {}
  virtual void OnSpecialFileSave() {}
  virtual void OnSpecialRevertToDefaults() {}
  virtual void OnSpecialReReadSeas() {}
  // [ui] The host is shutting down; true when the module agrees.
  virtual BOOL OnSpecialShutdown() { return TRUE; }
  virtual void LookupParams() {}
};
