#pragma once
// Modal dialogs: a host window that must be answered before the caller goes on (a decoder's
// settings) is displayed and then held open by the installed modal loop until it closes. The loop
// is what shows it: the Qt view runs a nested event loop with the other windows blocked; tests
// install one that acts as the person. With no loop installed (headless hosts) the dialog is
// cancelled at once.
#include <functional>

class CDialog3d;

namespace ui {

// [ui] Runs while `dialog` is open and returns when it has closed (or must close: the dialog is
// then cancelled by RunModal).
using ModalLoop = std::function<void(CDialog3d& dialog)>;

// [ui] Installs the loop (empty: none); returns the previous one.
ModalLoop SetModalLoop(ModalLoop loop);

// [ui] Displays `dialog` and returns once it is closed; false when it could not be displayed.
// Whether it closed by OK is the dialog's own to tell.
bool RunModal(CDialog3d& dialog);

}  // namespace ui
