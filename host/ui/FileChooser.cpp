#include "host/ui/FileChooser.h"

namespace ui {
namespace {
// The UI runs on one thread; this is its setting.
FileChooser g_chooser;
}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
  std::swap(g_chooser, chooser);
  return chooser;
}

bool ChooseFileToOpen(const FileRequest& request, CString& chosen) {
  const FileChooser chooser = g_chooser;
  return chooser && chooser(request, chosen);
}

}  // namespace ui
