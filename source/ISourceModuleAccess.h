#pragma once
// What the source module's "CAN-Bus" dialog may do with the module: read and set the CAN bus
// delay, list, add, change and remove its sources, open a source's own window, and see whether
// acquisition runs (OK and Apply are locked out then).
#include <cstdint>
#include <memory>
#include <vector>

#include "host/mfc/CString.h"
#include "sources/ISettingsDialog.h"

// One source as the dialog's table shows it.
struct SourceRow {
  int id = -1;               // sign-in id (the key of the module's sources); -1: not a source yet
  int type = 0;              // 0 standard, 1 vehicle simulation, 2 sequencer
  CString name;              // shown to the user, names the source's settings
  int channel = -1;          // driver channel
  bool fd = false;           // CAN FD
  std::int32_t bitrate = 0;  // driver bitrate_t code
  std::int32_t fdArbitration = 0;  // driver fd_arbitrationrate_t code
  std::int32_t fdData = 0;         // driver fd_datarate_t code
  bool active = false;             // takes part in acquisition
  bool hasSettings = false;        // has a window of its own
};

class ISourceModuleAccess {
 public:
  // [ui] Configured CAN bus delay versus the USB time, ticks of 125 µs.
  virtual std::int32_t delay() const noexcept = 0;
  // [ui] Sets the delay; the first channel capsule takes it at once, the others at the next start.
  // Refused (false) while acquisition runs.
  virtual bool set_delay(std::int32_t ticks) = 0;
  // [any] Acquisition of the host runs.
  virtual bool running() const noexcept = 0;

  // [ui] The sources, ascending by id.
  virtual std::vector<SourceRow> source_rows() const = 0;
  // [ui] Builds and signs in a source as the row says (its id is ignored); false when the module
  // could not (it logs why).
  virtual bool add_source(const SourceRow& row) = 0;
  // [ui] Gives source `id` another name and active flag; unknown ids are ignored.
  virtual void rename_source(int id, const CString& name, bool active) = 0;
  // [ui] Stops, releases and destroys source `id`; unknown ids are ignored.
  virtual void remove_source_id(int id) = 0;
  // [ui] Opens source `id`'s own window, if it has one.
  virtual void show_source_settings(int id) = 0;

 protected:
  ~ISourceModuleAccess() = default;
};

// Builds the module's window; the window keeps the reference for its lifetime, which ends before
// the module's.
using SourceModuleDialogFactory = std::unique_ptr<ISettingsDialog> (*)(ISourceModuleAccess& module);
