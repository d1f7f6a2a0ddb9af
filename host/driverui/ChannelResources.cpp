#include "host/driverui/ChannelResources.h"

#include "host/ui/CDialog3d.h"

namespace driverui {
namespace {

using ui::ControlKind;

// What the file is on top, the channel table with its buttons, the generator table with its
// buttons, then the verdict of the check left of OK, Cancel and Apply.
constexpr ui::ControlRes kControls[] = {
    {kChIntro, ControlKind::Static, L"", 7, 6, 428, 16},
    {kChList, ControlKind::ListView, L"", 7, 25, 428, 104, ui::kMultiSelect},
    {kChAdd, ControlKind::Button, L"Add", 7, 133, 50, 14, 0,
     L"A new channel: the lowest number not in use, on the virtual bus \"default\""},
    {kChRemove, ControlKind::Button, L"Remove", 61, 133, 50, 14, 0,
     L"Removes the selected channels (also the Delete key)"},
    {kChBrowse, ControlKind::Button, L"Log file...", 115, 133, 60, 14, 0,
     L"Choose the log the selected channel replays (it becomes a replay channel)"},
    {-1, ControlKind::Static,
     L"Traffic generators: periodic frames on a virtual bus, for every channel on that bus", 7, 155,
     428, 8},
    {kGenList, ControlKind::ListView, L"", 7, 166, 428, 62, ui::kMultiSelect},
    {kGenAdd, ControlKind::Button, L"Add", 7, 232, 50, 14, 0,
     L"A new generator: identifier 0x100 every 100 ms on the first virtual bus"},
    {kGenRemove, ControlKind::Button, L"Remove", 61, 232, 50, 14, 0,
     L"Removes the selected generators"},
    {kChStatus, ControlKind::Static, L"", 7, 250, 262, 48},
    {IDOK, ControlKind::DefaultButton, L"OK", 277, 282, 50, 14, 0,
     L"Save candriver.conf and close; a measurement takes it up at its next Start"},
    {IDCANCEL, ControlKind::Button, L"Cancel", 331, 282, 50, 14, 0,
     L"Close without saving what was changed since the last Apply"},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 385, 282, 50, 14, 0,
     L"Save candriver.conf; a measurement takes it up at its next Start"},
};

constexpr ui::DialogRes kDialogs[] = {
    {kChannelsDialog, L"CAN Channels", 442, 303, kControls},
};

constexpr ui::ResourceSet kResources{kDialogs, {}};

}  // namespace

const AFX_EXTENSION_MODULE& ChannelModule() {
  static const AFX_EXTENSION_MODULE module{true, "libhost.so (CAN channels)"};
  return module;
}

const ui::ResourceSet& ChannelResources() {
  return kResources;
}

}  // namespace driverui
