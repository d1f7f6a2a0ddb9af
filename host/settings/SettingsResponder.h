#pragma once
// Where an analysis object finds who answers its settings dialog: one slot per kind of settings
// model, holding a function that plays the dialog on the model and returns true for OK. The host's
// windows install theirs when a UI runs (a new host starts with a copy); tests install one that
// acts as the user in their own host.
// It stands in the host's base root so that the DBC engine (host/cananalysis) and the OBD-II tester
// (host/obd) share it without seeing each other.
#include <functional>
#include <mutex>

#include "host/services/Host.h"

namespace XeCanAnalysis {

template <class Model>
class SettingsResponder {
 public:
  using Function = std::function<bool(Model&)>;

  // [ui] Installs `responder` (empty: none); returns the previous one.
  static Function Set(Function responder) {
    Slot& slot = host::CurrentHost().Get<Slot>();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.responder, responder);
    return responder;
  }
  // [any] A copy of the current host's responder.
  static Function Current() {
    Slot& slot = host::CurrentHost().Get<Slot>();
    std::lock_guard lock(slot.mutex);
    return slot.responder;
  }

 private:
  struct Slot {
    static constexpr bool kInherited = true;
    Slot() = default;
    Slot(Slot& installed) {
      std::lock_guard lock(installed.mutex);
      responder = installed.responder;
    }
    std::mutex mutex;
    Function responder;  // guarded by mutex
  };
};

}  // namespace XeCanAnalysis
