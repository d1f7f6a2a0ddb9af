#include "host/ui/ModalLoop.h"

#include "host/services/Host.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/ui/CDialog3d.h"

namespace ui {
namespace {
// The UI runs on one thread. Installed by the window system once for the process: a new host
// starts with it.
struct Installed {
  static constexpr bool kInherited = true;
  ModalLoop loop;
};
ModalLoop& TheLoop() {
  return host::CurrentHost().Get<Installed>().loop;
}
}  // namespace

ModalLoop SetModalLoop(ModalLoop loop) {
  std::swap(TheLoop(), loop);
  return loop;
}

bool RunModal(CDialog3d& dialog) {
  if (!dialog.DisplayDialog()) return false;
  // A copy: the loop may install another one for a dialog it opens in turn.
  const ModalLoop loop = TheLoop();
  if (loop)
    loop(dialog);
  else
    PrWin::Output(
        (L"\"" + dialog.Title().str() + L"\": no person to answer it, cancelled\n").c_str(),
        PrWin::kCategoryError, PrWin::kStyleWarning);
  if (dialog.IsOpen()) dialog.CloseByFrame();
  // A dialog whose Cancel refuses to close still goes: the caller's state is on the stack.
  if (dialog.IsOpen()) dialog.DestroyWindow();
  return true;
}

}  // namespace ui
