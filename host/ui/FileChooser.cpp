#include "host/ui/FileChooser.h"

#include "host/services/Host.h"

namespace ui {
namespace {
// The UI runs on one thread. Installed by the window system once for the process: a new host
// starts with it.
struct Installed {
  static constexpr bool kInherited = true;
  FileChooser chooser;
};
FileChooser& TheChooser() {
  return host::CurrentHost().Get<Installed>().chooser;
}
}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
  std::swap(TheChooser(), chooser);
  return chooser;
}

bool ChooseFileToOpen(const FileRequest& request, CString& chosen) {
  const FileChooser chooser = TheChooser();
  return chooser && chooser(request, chosen);
}

}  // namespace ui
