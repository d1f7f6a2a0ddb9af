#pragma once
// What a vehicle-simulation or sequencer source hands the host's analysis library: the name every
// such channel uses, the source's own controller, and the analysis object, made at the first start.
// Building a holder starts the host's managed application base, which the analysis library needs.
#include <cstdint>
#include <memory>

#include "frame/CSharpInit.h"
#include "host/candriver/CanControl.h"
#include "host/mfc/CString.h"
#include "sources/AnalysisFactory.h"

struct SimulatorHolder {
  explicit SimulatorHolder(XeCanDriverKvaser::CanControl* control) : controller(control) {
    CSharpInit runtime;
  }
  CString name = L"OBDVehicle";
  XeCanDriverKvaser::CanControl* controller;
  std::unique_ptr<IVehicleSimulator> simulator;  // null until the first start
};

struct SequencerHolder {
  explicit SequencerHolder(XeCanDriverKvaser::CanControl* control) : controller(control) {
    CSharpInit runtime;
  }
  CString name = L"OBDTester";
  XeCanDriverKvaser::CanControl* controller;
  std::int32_t timer = -1;  // ms handed to SetTimer at creation; negative: SetTimer is not called
  std::unique_ptr<ISequencer> sequencer;  // null until the first start
};
