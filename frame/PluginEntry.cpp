// Library entry of the plug-in: the extension module record, its chaining into the host's resource
// libraries, and the registration of the two module classes under their names. Everything here
// runs while the host loads the library.
#include <optional>

#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"
#include "sink/CCanSink.h"
#include "source/CCanSourceModule.h"

namespace {

AFX_EXTENSION_MODULE g_extension;

// Process attach and detach. The dialogs find their resources through g_extension.
struct LibraryEntry {
  LibraryEntry() {
    if (AfxInitExtensionModule(g_extension, "libcanplugin.so")) library.emplace(g_extension);
  }
  ~LibraryEntry() {
    library.reset();
    AfxTermExtensionModule(g_extension);
  }
  std::optional<CDynLinkLibrary> library;
};

const LibraryEntry g_entry;
const CModuleRegister g_sourceModule(RUNTIME_CLASS(CCanSourceModule), L"CCanSourceModule");
const CModuleRegister g_sink(RUNTIME_CLASS(CCanSink), L"CCanSink");

}  // namespace

namespace can {
// The extension module record of this library (dialogs pass it to their base class).
AFX_EXTENSION_MODULE& ExtensionModule() {
  return g_extension;
}
}  // namespace can
