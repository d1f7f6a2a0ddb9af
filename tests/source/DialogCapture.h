#pragma once
// While alive, standard sources get their real window from a factory that remembers the last one
// built, so tests can look at what it shows; the previous factory comes back on destruction.
#include <atomic>
#include <memory>

#include "dialogs/CCanStandardSrcDlg.h"
#include "sources/CCanStandardSource.h"

namespace plugin_test {

class DialogCapture {
 public:
  DialogCapture() : m_previous(CCanStandardSource::set_dialog_factory(&Make)) {}
  ~DialogCapture() { CCanStandardSource::set_dialog_factory(m_previous); }
  DialogCapture(const DialogCapture&) = delete;
  DialogCapture& operator=(const DialogCapture&) = delete;

  // [any] The window of the last standard source built, or null.
  static CCanStandardSrcDlg* last() noexcept { return s_last.load(); }

 private:
  static std::unique_ptr<ISettingsDialog> Make(IStandardSourceAccess& source) {
    auto dialog = std::make_unique<CCanStandardSrcDlg>(source);
    s_last = dialog.get();
    return dialog;
  }
  static inline std::atomic<CCanStandardSrcDlg*> s_last{nullptr};
  StandardSourceDialogFactory m_previous;
};

}  // namespace plugin_test
