#include "sources/AnalysisFactory.h"

#include "host/obd/CCanSequencer.h"
#include "host/obd/COBDVehicleSimulator.h"
#include "host/services/Host.h"

namespace {

class HostSimulator final : public IVehicleSimulator {
 public:
  HostSimulator(const CString& name, XeCanDriverKvaser::CanControl* control)
      : m_simulator(name, control) {}
  void Activate(bool active) override { m_simulator.Activate(active); }

 private:
  XeCanAnalysis::COBDVehicleSimulator m_simulator;
};

class HostSequencer final : public ISequencer {
 public:
  HostSequencer(const CString& name, XeCanDriverKvaser::CanControl* control)
      : m_sequencer(name, control) {}
  void SetTimer(int ms) override { m_sequencer.SetTimer(ms); }
  void StartTimer() override { m_sequencer.StartTimer(); }
  void StopTimer() override { m_sequencer.StopTimer(); }
  void StartAction() override { m_sequencer.StartAction(); }
  void ChangeSettings() override { m_sequencer.ChangeSettings(); }
  void ShutDown() override { m_sequencer.ShutDown(); }

 private:
  XeCanAnalysis::CCanSequencer m_sequencer;
};

}  // namespace

std::unique_ptr<IVehicleSimulator> AnalysisFactory::CreateSimulator(
    const CString& name, XeCanDriverKvaser::CanControl* control) {
  return std::make_unique<HostSimulator>(name, control);
}

std::unique_ptr<ISequencer> AnalysisFactory::CreateSequencer(
    const CString& name, XeCanDriverKvaser::CanControl* control) {
  return std::make_unique<HostSequencer>(name, control);
}

AnalysisFactory& AnalysisFactory::Current() {
  return host::CurrentHost().Get<AnalysisFactory>();
}
