#pragma once
// Where an analysis object finds who answers its settings dialog: one slot per kind of settings
// model, holding a function that plays the dialog on the model and returns true for OK. The host's
// windows install theirs when a UI runs; tests install one that acts as the user.
// It stands in the host's base root so that the DBC engine (host/cananalysis) and the OBD-II tester
// (host/obd) share it without seeing each other.
#include <functional>
#include <mutex>

namespace XeCanAnalysis {

template <class Model>
class SettingsResponder {
 public:
  using Function = std::function<bool(Model&)>;

  // [ui] Installs `responder` (empty: none); returns the previous one.
  static Function Set(Function responder) {
    std::lock_guard lock(s_mutex);
    std::swap(s_responder, responder);
    return responder;
  }
  // [any] A copy of the installed responder.
  static Function Current() {
    std::lock_guard lock(s_mutex);
    return s_responder;
  }

 private:
  static inline std::mutex s_mutex;
  static inline Function s_responder;
};

}  // namespace XeCanAnalysis
