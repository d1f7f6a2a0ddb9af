#include "dialogs/DialogResources.h"

#include "host/module/ExtensionModule.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CLibMgr.h"

namespace can {

namespace {

using ui::ControlKind;

constexpr ui::ControlRes kCanBusControls[] = {
    {IDC_SOURCE_LIST, ControlKind::ListView, L"", 7, 7, 217, 69, ui::kMultiSelect},
    {IDC_ADD, ControlKind::Button, L"Add", 7, 80, 50, 14},
    {IDC_REMOVE, ControlKind::Button, L"Remove", 61, 80, 50, 14},
    {-1, ControlKind::Static, L"CAN bus delay (vs. USB, in ticks of 125\u00b5s)", 45, 104, 136, 8},
    {IDC_DELAY, ControlKind::Edit, L"", 184, 101, 40, 14, ui::kRightAligned | ui::kSignedDigits},
    {IDOK, ControlKind::DefaultButton, L"OK", 65, 122, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 119, 122, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 174, 122, 50, 14},
};

// Wide enough for the column widths the dialog gives its lists (438 pixels each).
constexpr ui::ControlRes kStandardSourceControls[] = {
    {-1, ControlKind::Static, L"Frequency (messages/s):", 7, 10, 90, 8},
    {IDC_RATE, ControlKind::Edit, L"", 100, 7, 60, 14, ui::kReadOnly | ui::kRightAligned},
    {IDC_ID_LIST, ControlKind::ListView, L"", 7, 26, 266, 92},
    {IDC_RANGE_LIST, ControlKind::ListView, L"", 7, 122, 266, 98, ui::kMultiSelect},
    {IDOK, ControlKind::DefaultButton, L"OK", 113, 226, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 168, 226, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 223, 226, 50, 14},
};

constexpr ui::ControlRes kCanDecodingControls[] = {
    {IDC_CHANNEL_LIST, ControlKind::ListView, L"", 7, 7, 187, 49},
    {IDC_TIMEOUT_LABEL, ControlKind::Static, L"Time-out for message update (s):", 7, 66, 108, 8},
    {IDC_TIMEOUT, ControlKind::Edit, L"", 123, 63, 30, 14, ui::kRightAligned | ui::kDigitsOnly},
    {IDOK, ControlKind::DefaultButton, L"OK", 38, 84, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 91, 84, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 144, 84, 50, 14},
};

// The groups come first so that the controls inside them are drawn over their frames.
constexpr ui::ControlRes kSequencerControls[] = {
    {-1, ControlKind::GroupBox, L"Regular action", 7, 7, 186, 44},
    {-1, ControlKind::GroupBox, L"Singular action", 7, 56, 186, 38},
    {IDC_REGULAR_ACTIVE, ControlKind::CheckBox, L"Active", 15, 19, 60, 10},
    {-1, ControlKind::Static, L"Timer resolution (ms):", 15, 35, 84, 8},
    {IDC_TIMER, ControlKind::Edit, L"", 103, 32, 40, 14, ui::kRightAligned | ui::kSignedDigits},
    {IDC_EXECUTE_AT_START, ControlKind::CheckBox, L"Execute at start", 15, 72, 74, 10},
    {IDC_ONE_SHOT, ControlKind::Button, L"One shot", 95, 70, 45, 14},
    {IDC_OPTIONS, ControlKind::Button, L"Options...", 144, 70, 45, 14},
    {IDOK, ControlKind::DefaultButton, L"OK", 35, 102, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 89, 102, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 143, 102, 50, 14},
};

constexpr ui::DialogRes kDialogs[] = {
    {IDD_CAN_BUS, L"CAN-Bus", 231, 143, kCanBusControls},
    {IDD_CAN_DECODING, L"CAN Decoding", 201, 105, kCanDecodingControls},
    {IDD_SEQUENCER, L"CAN Sequencer", 200, 123, kSequencerControls},
    {IDD_STANDARD_SOURCE, L"CAN Standard Source", 280, 247, kStandardSourceControls},
};

constexpr ui::StringRes kStrings[] = {
    {IDS_ACTIVE, L"Active"},
    {IDS_NAME, L"Name"},
    {IDS_CHANNEL, L"Channel"},
    {IDS_ID, L"ID"},
    {IDS_DECODER, L"Decoder"},
    {IDS_SETTINGS, L"Settings"},
    {IDS_TYPE, L"Type"},
    {IDS_FREQUENCY, L"Frequency"},
    {IDS_START_ID, L"Start ID"},
    {IDS_STOP_ID, L"Stop ID"},
    {IDS_BITRATE, L"Bitrate"},
    {IDS_FD_DATARATE, L"FD Datarate"},
    {IDS_FD_CHANNEL, L"FD Channel"},
};

// Attaches the resources to this library's extension module while the library is loaded.
struct Registration {
  Registration() { CLibMgr::RegisterResources(ExtensionModule(), &kDialogResources); }
  ~Registration() { CLibMgr::RegisterResources(ExtensionModule(), nullptr); }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
};

const Registration g_registration;

}  // namespace

const ui::ResourceSet kDialogResources{kDialogs, kStrings};

}  // namespace can
