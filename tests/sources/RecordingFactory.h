#pragma once
// A factory of the host's analysis objects for tests: fakes that record every call made on them
// (the sequencer's destructor also records how many columns the source's entry "OBD" holds then,
// which shows whether the settings were written first), and helpers for that entry.
#include <string>
#include <vector>

#include "host/settings/CSeaBase.h"
#include "sources/AnalysisFactory.h"

namespace plugin_test {

using Calls = std::vector<std::string>;

inline std::string Narrow(const CString& s) {
  return std::string(s.str().begin(), s.str().end());
}

// Values of the application sea's entry `name`, or {"<none>"} without the entry.
inline std::vector<std::wstring> Entry(const CString& name) {
  const CResourceEntry* entry = CSeaBase::ApplicationSea()->FindEntry(name);
  if (!entry) return {L"<none>"};
  std::vector<std::wstring> values;
  for (std::size_t i = 0; i < entry->GetValueCount(); ++i)
    values.emplace_back(entry->EintragText(i));
  return values;
}

inline void SetEntry(const CString& name, const std::vector<std::wstring>& values) {
  CResourceEntry* entry = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(entry, CResourceSea::kLookupFindOrCreate, name, 0);
  for (std::size_t i = 0; i < values.size(); ++i)
    entry->WertNeuSetzen(values[i].c_str(), i);
}

class RecordingFactory : public AnalysisFactory {
 public:
  struct Simulator : IVehicleSimulator {
    explicit Simulator(Calls& c) : calls(c) {}
    ~Simulator() override { calls.push_back("~Simulator"); }
    void Activate(bool on) override { calls.push_back(on ? "Activate(1)" : "Activate(0)"); }
    Calls& calls;
  };
  struct Sequencer : ISequencer {
    explicit Sequencer(Calls& c) : calls(c) {}
    // What the store holds when the sequencer goes shows whether the settings were written first.
    ~Sequencer() override {
      const auto stored = Entry(L"OBD");
      calls.push_back("~Sequencer stored " + std::to_string(stored.size()));
    }
    void SetTimer(int ms) override { calls.push_back("SetTimer(" + std::to_string(ms) + ")"); }
    void StartTimer() override { calls.push_back("StartTimer"); }
    void StopTimer() override { calls.push_back("StopTimer"); }
    void StartAction() override { calls.push_back("StartAction"); }
    void ChangeSettings() override { calls.push_back("ChangeSettings"); }
    void ShutDown() override { calls.push_back("ShutDown"); }
    Calls& calls;
  };

  std::unique_ptr<IVehicleSimulator> CreateSimulator(
      const CString& name, XeCanDriverKvaser::CanControl* control) override {
    calls.push_back("Simulator(" + Narrow(name) + ")");
    lastControl = control;
    return std::make_unique<Simulator>(calls);
  }
  std::unique_ptr<ISequencer> CreateSequencer(const CString& name,
                                              XeCanDriverKvaser::CanControl* control) override {
    calls.push_back("Sequencer(" + Narrow(name) + ")");
    lastControl = control;
    return std::make_unique<Sequencer>(calls);
  }

  Calls calls;
  XeCanDriverKvaser::CanControl* lastControl = nullptr;
};

}  // namespace plugin_test
