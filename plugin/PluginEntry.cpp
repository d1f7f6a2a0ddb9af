// Library entry of the plug-in: the extension module record, its chaining into the host's resource
// libraries, the registration of the two module classes under their names, and the windows the
// modules and sources get. Everything here runs while the host loads the library; it sits above
// every folder it wires together, so none of them includes another one upwards.
#include <memory>
#include <optional>

#include "dialogs/CCanSequencerDlg.h"
#include "dialogs/CCanSinkDlg.h"
#include "dialogs/CCanSourceDlg.h"
#include "dialogs/CCanStandardSrcDlg.h"
#include "dialogs/DialogResources.h"
#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"
#include "sink/CCanSink.h"
#include "source/CCanSourceModule.h"
#include "sources/CCanObdProbe.h"
#include "sources/CCanStandardSource.h"

namespace {

std::unique_ptr<ISettingsDialog> MakeSourceModuleDialog(ISourceModuleAccess& module) {
  return std::make_unique<CCanSourceDlg>(module);
}
std::unique_ptr<ISettingsDialog> MakeStandardSourceDialog(IStandardSourceAccess& source) {
  return std::make_unique<CCanStandardSrcDlg>(source);
}
std::unique_ptr<ISettingsDialog> MakeSequencerDialog(ISequencerSourceAccess& source) {
  return std::make_unique<CCanSequencerDlg>(source);
}
std::unique_ptr<ISinkDialog> MakeSinkDialog(ISinkAccess& sink) {
  return std::make_unique<CCanSinkDlg>(sink);
}

AFX_EXTENSION_MODULE g_extension;

// Process attach and detach. The dialogs find their resources through g_extension. When the
// extension module does not start, the entry does nothing more: nothing chains the library into
// the host's resource libraries, which makes the host refuse the load.
struct LibraryEntry {
  LibraryEntry() {
    if (!AfxInitExtensionModule(g_extension, "libcanplugin.so")) return;
    library.emplace(g_extension);
    CCanSourceModule::set_dialog_factory(&MakeSourceModuleDialog);
    CCanStandardSource::set_dialog_factory(&MakeStandardSourceDialog);
    CCanObdProbe::set_dialog_factory(&MakeSequencerDialog);
    CCanSink::set_dialog_factory(&MakeSinkDialog);
  }
  ~LibraryEntry() {
    if (!library) return;
    CCanSink::set_dialog_factory(nullptr);
    CCanObdProbe::set_dialog_factory(nullptr);
    CCanStandardSource::set_dialog_factory(nullptr);
    CCanSourceModule::set_dialog_factory(nullptr);
    library.reset();
    AfxTermExtensionModule(g_extension);
  }
  LibraryEntry(const LibraryEntry&) = delete;
  LibraryEntry& operator=(const LibraryEntry&) = delete;
  std::optional<CDynLinkLibrary> library;
};

const LibraryEntry g_entry;
const CModuleRegister g_sourceModule(RUNTIME_CLASS(CCanSourceModule), L"CCanSourceModule",
                                     can::IDS_SOURCE_MODULE);
const CModuleRegister g_sink(RUNTIME_CLASS(CCanSink), L"CCanSink", can::IDS_SINK_MODULE);

}  // namespace

namespace can {
// The extension module record of this library (dialogs pass it to their base class).
AFX_EXTENSION_MODULE& ExtensionModule() {
  return g_extension;
}
}  // namespace can
