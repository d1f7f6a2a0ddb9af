#pragma once
// What the source module's "CAN-Bus" dialog may do with the module: read and set the CAN bus
// delay, and see whether acquisition runs (OK and Apply are locked out then).
#include <cstdint>
#include <memory>

#include "sources/ISettingsDialog.h"

class ISourceModuleAccess {
 public:
  // [ui] Configured CAN bus delay versus the USB time, ticks of 125 µs.
  virtual std::int32_t delay() const noexcept = 0;
  // [ui] Sets the delay; the first channel capsule takes it at once, the others at the next start.
  // Refused (false) while acquisition runs.
  virtual bool set_delay(std::int32_t ticks) = 0;
  // [any] Acquisition of the host runs.
  virtual bool running() const noexcept = 0;

 protected:
  ~ISourceModuleAccess() = default;
};

// Builds the module's window; the window keeps the reference for its lifetime, which ends before
// the module's.
using SourceModuleDialogFactory = std::unique_ptr<ISettingsDialog> (*)(ISourceModuleAccess& module);
