#pragma once
// The host's analysis objects as the vehicle-simulation and sequencer sources drive them, and the
// factory that builds them. The sources see only these operations, so a test puts a factory of
// recording fakes into its host (host::Host::Put<AnalysisFactory>) and checks every call (name,
// arguments, order, moment) without a bus.
//
// Threads: as the sources' own operations, [ui] and [processing].
#include <memory>

#include "host/candriver/CanControl.h"
#include "host/mfc/CString.h"

// An OBD-II vehicle simulator on a source's bus.
struct IVehicleSimulator {
  virtual ~IVehicleSimulator() = default;
  virtual void Activate(bool active) = 0;
};

// An OBD-II tester on a source's bus.
struct ISequencer {
  virtual ~ISequencer() = default;
  virtual void SetTimer(int ms) = 0;
  virtual void StartTimer() = 0;
  virtual void StopTimer() = 0;
  virtual void StartAction() = 0;
  virtual void ChangeSettings() = 0;
  virtual void ShutDown() = 0;
};

class AnalysisFactory {
 public:
  virtual ~AnalysisFactory() = default;
  // The host's objects (XeCanAnalysis) on `control`'s bus, which outlives them.
  virtual std::unique_ptr<IVehicleSimulator> CreateSimulator(
      const CString& name, XeCanDriverKvaser::CanControl* control);
  virtual std::unique_ptr<ISequencer> CreateSequencer(const CString& name,
                                                      XeCanDriverKvaser::CanControl* control);

  // [ui] The current host's factory: this one unless the host was given another.
  static AnalysisFactory& Current();
};
