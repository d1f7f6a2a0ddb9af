#pragma once
// The host's file chooser for windows that ask a person for a file to open. The view installs one
// (Qt: the platform's file dialog); tests install one that answers as the person would. Without one
// nothing can be chosen, and the window's path field is the only way to name a file.
#include <functional>

#include "host/mfc/CString.h"

namespace ui {

struct FileRequest {
  CString title;    // window title, "Choose a DBC file"
  CString filter;   // "DBC files (*.dbc);;All files (*)": name patterns, ";;" between choices
  CString initial;  // file or folder to start in; empty: the settings folder
};

// [ui] Asks for a file; true with `chosen` (an absolute path) when one was chosen.
using FileChooser = std::function<bool(const FileRequest& request, CString& chosen)>;

// [ui] Installs the chooser (empty: none); returns the previous one.
FileChooser SetFileChooser(FileChooser chooser);

// [ui] Asks the installed chooser; false when it is cancelled or there is none.
bool ChooseFileToOpen(const FileRequest& request, CString& chosen);

}  // namespace ui
