#include "host/analysisui/AnalysisResources.h"

namespace analysisui {
namespace {

using ui::ControlKind;

// The DBC file on top, its state below it, then the search field above the signal table.
constexpr ui::ControlRes kDbcControls[] = {
    {-1, ControlKind::Static, L"DBC file", 7, 9, 36, 8},
    {kDbcFileEdit, ControlKind::Edit, L"", 45, 7, 354, 14},
    {kDbcBrowse, ControlKind::Button, L"Browse...", 403, 7, 50, 14},
    {kDbcLoad, ControlKind::Button, L"Load", 457, 7, 50, 14},
    {kDbcStatus, ControlKind::Static, L"", 45, 25, 462, 18},
    {-1, ControlKind::Static, L"Search", 7, 49, 36, 8},
    {kDbcSearch, ControlKind::Edit, L"", 45, 47, 160, 14},
    {kDbcCount, ControlKind::Static, L"", 211, 49, 296, 8},
    {kDbcList, ControlKind::ListView, L"", 7, 65, 500, 196},
    {IDOK, ControlKind::DefaultButton, L"OK", 403, 267, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 457, 267, 50, 14},
};

// The timer period, the request table with Add and Remove below it, the check's verdict left of
// OK and Cancel.
constexpr ui::ControlRes kSequencerControls[] = {
    {-1, ControlKind::Static, L"Timer period (ms)", 7, 9, 70, 8},
    {kSeqTimer, ControlKind::Edit, L"", 80, 7, 40, 14, ui::kRightAligned},
    {kSeqList, ControlKind::ListView, L"", 7, 27, 326, 139, ui::kMultiSelect},
    {kSeqAdd, ControlKind::Button, L"Add", 7, 170, 50, 14},
    {kSeqRemove, ControlKind::Button, L"Remove", 61, 170, 50, 14},
    {kSeqStatus, ControlKind::Static, L"", 7, 190, 216, 18},
    {IDOK, ControlKind::DefaultButton, L"OK", 229, 192, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 283, 192, 50, 14},
};

constexpr ui::DialogRes kDialogs[] = {
    {kDbcSettingsDialog, L"DBC Decoder Settings", 514, 288, kDbcControls},
    {kSequencerSettingsDialog, L"OBD-II Tester Requests", 340, 213, kSequencerControls},
};

constexpr ui::ResourceSet kResources{kDialogs, {}};

}  // namespace

const AFX_EXTENSION_MODULE& HostModule() {
  static const AFX_EXTENSION_MODULE module{true, "libhost.so"};
  return module;
}

const ui::ResourceSet& Resources() {
  return kResources;
}

}  // namespace analysisui
