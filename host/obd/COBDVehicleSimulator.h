#pragma once
// A simulated vehicle's engine ECU on the bus of a CAN controller, speaking OBD-II on ISO 15765-4
// with 11-bit identifiers: it answers functional requests (0x7DF) and physical ones (0x7E0) from
// 0x7E8 (what it answers: ObdPids.h), with values of the drive cycle at the host time of the
// request (ObdDriveCycle.h). An answer longer than a single frame goes out as a first frame; the
// consecutive frames follow the tester's flow control (block size, separation time) on 0x7E0.
//
// Threads: construction, Activate and destruction [ui, processing]; requests are answered on the
// controller's reception thread, paced consecutive frames on the simulator's own timer thread.
#include <memory>

#include "host/candriver/CanControl.h"
#include "host/mfc/CString.h"

namespace XeCanAnalysis {

class AnalysisTimer;

class COBDVehicleSimulator {
 public:
  static constexpr std::uint32_t kFunctionalId = 0x7DF;
  static constexpr std::uint32_t kPhysicalId = 0x7E0;
  static constexpr std::uint32_t kResponseId = 0x7E8;

  // [ui] An inactive ECU named `name` on the bus of `control`, which must outlive it.
  COBDVehicleSimulator(const CString& name, XeCanDriverKvaser::CanControl* control);
  // [ui] Stops answering; no message is sent after it returns.
  ~COBDVehicleSimulator();
  COBDVehicleSimulator(const COBDVehicleSimulator&) = delete;
  COBDVehicleSimulator& operator=(const COBDVehicleSimulator&) = delete;

  // [ui, processing] Answering on (the engine starts: run time counts from here) or off (requests
  // are ignored and an answer underway is dropped).
  void Activate(bool active);
  bool IsActive() const;

 private:
  struct Core;
  std::shared_ptr<Core> m_core;  // shared with the read monitor, which outlives the simulator
  std::unique_ptr<AnalysisTimer> m_timer;
};

}  // namespace XeCanAnalysis
