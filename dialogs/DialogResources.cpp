#include "dialogs/DialogResources.h"

#include "host/module/ExtensionModule.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/CSwitchResourceDefault.h"
#include "host/ui/CXListCtrl.h"

namespace can {

namespace {

using ui::ControlKind;

constexpr ui::ControlRes kCanBusControls[] = {
    {IDC_SOURCE_LIST, ControlKind::ListView, L"", 7, 7, 217, 69, ui::kMultiSelect},
    {IDC_ADD, ControlKind::Button, L"Add", 7, 80, 50, 14},
    {IDC_REMOVE, ControlKind::Button, L"Remove", 61, 80, 50, 14},
    {IDC_CHANNELS, ControlKind::Button, L"Channels...", 115, 80, 55, 14, 0,
     L"What each channel number is (candriver.conf): a virtual bus, the replay of a log, a "
     L"SocketCAN interface; a measurement takes changes up at its next Start"},
    {-1, ControlKind::Static, L"CAN bus delay (vs. USB, in ticks of 125\u00b5s)", 45, 104, 136, 8},
    {IDC_DELAY, ControlKind::Edit, L"", 184, 101, 40, 14, ui::kRightAligned | ui::kSignedDigits,
     L"How much later than the host's USB time base the CAN channels stamp their messages, in "
     L"ticks of 125 \u00b5s; subtracted from every CAN time"},
    {IDOK, ControlKind::DefaultButton, L"OK", 65, 122, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 119, 122, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 174, 122, 50, 14},
};

// Wide enough for the column widths the dialog gives its lists (438 pixels each).
constexpr ui::ControlRes kStandardSourceControls[] = {
    {-1, ControlKind::Static, L"Frequency (messages/s):", 7, 10, 90, 8},
    {IDC_RATE, ControlKind::Edit, L"", 100, 7, 60, 14, ui::kReadOnly | ui::kRightAligned,
     L"Messages per second the channel received since the previous refresh"},
    {IDC_DECIMAL_IDS, ControlKind::CheckBox, L"Decimal IDs", 213, 9, 60, 10, 0,
     L"Show identifiers in decimal instead of hex; cells read 0x7FF, 7FFh and 2047 either way"},
    {IDC_ID_LIST, ControlKind::ListView, L"", 7, 26, 266, 92},
    {IDC_RANGE_LIST, ControlKind::ListView, L"", 7, 122, 266, 98, ui::kMultiSelect},
    {IDOK, ControlKind::DefaultButton, L"OK", 113, 226, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 168, 226, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 223, 226, 50, 14},
};

constexpr ui::ControlRes kCanDecodingControls[] = {
    {IDC_CHANNEL_LIST, ControlKind::ListView, L"", 7, 7, 187, 49},
    {IDC_TIMEOUT_LABEL, ControlKind::Static, L"Time-out for message update (s):", 7, 66, 108, 8},
    {IDC_TIMEOUT, ControlKind::Edit, L"", 123, 63, 30, 14, ui::kRightAligned | ui::kDigitsOnly,
     L"A signal without a new value for this many seconds is reported as timed out"},
    {IDOK, ControlKind::DefaultButton, L"OK", 38, 84, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 91, 84, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 144, 84, 50, 14},
};

// The groups come first so that the controls inside them are drawn over their frames.
constexpr ui::ControlRes kSequencerControls[] = {
    {-1, ControlKind::GroupBox, L"Regular action", 7, 7, 186, 88},
    {-1, ControlKind::GroupBox, L"Singular action", 7, 100, 186, 38},
    {IDC_REGULAR_ACTIVE, ControlKind::CheckBox, L"Active", 15, 19, 60, 10, 0,
     L"While measuring, send the regular requests of the request list in turn, one per period"},
    {-1, ControlKind::Static, L"Timer resolution (ms):", 15, 35, 84, 8},
    {IDC_TIMER, ControlKind::Edit, L"", 103, 32, 40, 14, ui::kRightAligned | ui::kSignedDigits,
     L"The period of the regular requests, in ms"},
    {IDC_TIMER_NOTE, ControlKind::Static,
     L"The period of the regular requests: one request goes out per period. It overrides the "
     L"request list's \"Timer period\" (Options...) and takes effect when the source is next "
     L"built (a change of its CAN-Bus row, or the next start).",
     15, 50, 172, 40},
    {IDC_EXECUTE_AT_START, ControlKind::CheckBox, L"Execute at start", 15, 116, 74, 10, 0,
     L"Send the one-shot requests of the request list (the VIN) when the measurement starts"},
    {IDC_ONE_SHOT, ControlKind::Button, L"One shot", 95, 114, 45, 14, 0,
     L"Send the one-shot requests now (after the channel's first start)"},
    {IDC_OPTIONS, ControlKind::Button, L"Options...", 144, 114, 45, 14, 0,
     L"The request list: what the tester asks, and its own timer period"},
    {IDOK, ControlKind::DefaultButton, L"OK", 35, 146, 50, 14},
    {IDCANCEL, ControlKind::Button, L"Cancel", 89, 146, 50, 14},
    {ID_APPLY_NOW, ControlKind::Button, L"Apply", 143, 146, 50, 14},
};

constexpr ui::DialogRes kDialogs[] = {
    {IDD_CAN_BUS, L"CAN-Bus", 231, 143, kCanBusControls},
    {IDD_CAN_DECODING, L"CAN Decoding", 201, 105, kCanDecodingControls},
    {IDD_SEQUENCER, L"CAN Sequencer", 200, 167, kSequencerControls},
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
    {IDS_SOURCE_MODULE, L"CAN-Sources"},
    {IDS_SINK_MODULE, L"CAN Decoding"},
    {IDS_DBC_DECODER, L"DBC decoder"},
    {IDS_TIP_ACTIVE_SOURCE, L"Ticked: the source takes part in the measurement"},
    {IDS_TIP_TYPE,
     L"Standard source: records the channel's traffic, filtered by identifier; "
     L"vehicle simulation: a car answering OBD-II requests, records nothing; "
     L"sequencer: an OBD-II tester sending requests, records the traffic"},
    {IDS_TIP_NAME, L"The source's name: it names the source in the summary and its settings"},
    {IDS_TIP_CHANNEL,
     L"The driver channel, as candriver.conf numbers it (without that file, "
     L"0 to 3 are virtual channels on one bus)"},
    {IDS_TIP_FD_CHANNEL, L"Ticked: the channel is opened in CAN FD mode"},
    {IDS_TIP_BITRATE, L"The bit rate; with CAN FD, the arbitration phase's rate"},
    {IDS_TIP_FD_DATARATE, L"The data phase's rate of CAN FD frames (used with FD Channel only)"},
    {IDS_TIP_SOURCE_SETTINGS, L"The source's own settings (after Apply, for a new row)"},
    {IDS_TIP_ID, L"An identifier received on the channel"},
    {IDS_TIP_ID_SHARE, L"The identifier's share of the messages since the previous refresh"},
    {IDS_TIP_START_ID, L"The range's first identifier: hex as 0x7FF or 7FFh, or decimal"},
    {IDS_TIP_STOP_ID, L"The range's last identifier (included): hex as 0x7FF or 7FFh, or decimal"},
    {IDS_TIP_ACTIVE_RANGE,
     L"Ticked: messages of the range are recorded; clear: left out. OK "
     L"makes the table cover every identifier (gaps are recorded)"},
    {IDS_TIP_RANGE_SHARE, L"The range's share of the messages since the previous refresh"},
    {IDS_TIP_BUS_NAME, L"The CAN source of the bus channel"},
    {IDS_TIP_DECODER,
     L"What turns the channel's messages into signals: a DBC decoder, or "
     L"\u2014 for none"},
    {IDS_TIP_DECODER_SETTINGS,
     L"The decoder's settings: its DBC file and which signal each of "
     L"its signals delivers"},
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

void InsertColumns(CXListCtrl& list, std::span<const ColumnDef> columns) {
  CSwitchResourceDefault resources(ExtensionModule());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int column = static_cast<int>(c);
    list.InsertColumn(column, CLibMgr::LoadStringW(columns[c].title), 0, columns[c].width, -1);
    list.SetColumnToolTip(column, CLibMgr::LoadStringW(columns[c].tip));
  }
}

}  // namespace can
