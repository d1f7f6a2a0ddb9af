#pragma once
// The host's own dialog resources: the settings windows of its analysis objects (the DBC
// decoder's signal assignment and the OBD-II tester's request list), registered under the host's
// extension module record while the windows are installed (AnalysisWindows).
#include "host/module/ExtensionModule.h"
#include "host/ui/DialogResource.h"

namespace analysisui {

// Template ids.
inline constexpr int kDbcSettingsDialog = 30100;
inline constexpr int kSequencerSettingsDialog = 30200;

// Control ids of the DBC decoder's window.
inline constexpr int kDbcFileEdit = 30101;
inline constexpr int kDbcBrowse = 30102;
inline constexpr int kDbcLoad = 30103;
inline constexpr int kDbcStatus = 30104;
inline constexpr int kDbcSearch = 30105;
inline constexpr int kDbcCount = 30106;
inline constexpr int kDbcList = 30107;

// Control ids of the tester's window.
inline constexpr int kSeqTimer = 30201;
inline constexpr int kSeqList = 30202;
inline constexpr int kSeqAdd = 30203;
inline constexpr int kSeqRemove = 30204;
inline constexpr int kSeqStatus = 30205;

// [ui] The record the host's resources are registered under.
const AFX_EXTENSION_MODULE& HostModule();
// [any] The templates (constant data).
const ui::ResourceSet& Resources();

}  // namespace analysisui
