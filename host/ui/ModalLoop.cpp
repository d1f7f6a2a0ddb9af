#include "host/ui/ModalLoop.h"

#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/ui/CDialog3d.h"

namespace ui {
namespace {
// The UI runs on one thread; this is its setting.
ModalLoop g_loop;
}  // namespace

ModalLoop SetModalLoop(ModalLoop loop) {
  std::swap(g_loop, loop);
  return loop;
}

bool RunModal(CDialog3d& dialog) {
  if (!dialog.DisplayDialog()) return false;
  // A copy: the loop may install another one for a dialog it opens in turn.
  const ModalLoop loop = g_loop;
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
