#pragma once
// The plug-in's dialog resources: templates 1000 "CAN-Bus", 2000 "CAN Decoding", 2001 "CAN
// Sequencer" and 2002 "CAN Standard Source" with their controls in dialog units, and the string
// table of column titles. They are registered with
// the host for this library's extension module when the library loads.
#include "host/ui/DialogResource.h"

struct AFX_EXTENSION_MODULE;

namespace can {

// Template ids.
inline constexpr int IDD_CAN_BUS = 1000;
inline constexpr int IDD_CAN_DECODING = 2000;
inline constexpr int IDD_SEQUENCER = 2001;
inline constexpr int IDD_STANDARD_SOURCE = 2002;

// Control ids.
inline constexpr int IDC_SOURCE_LIST = 1001;
inline constexpr int IDC_ADD = 1002;
inline constexpr int IDC_REMOVE = 1003;
inline constexpr int IDC_DELAY = 2009;
inline constexpr int IDC_RATE = 2015;
inline constexpr int IDC_ID_LIST = 2017;
inline constexpr int IDC_RANGE_LIST = 2018;
inline constexpr int IDC_CHANNEL_LIST = 2006;
inline constexpr int IDC_TIMEOUT = 2015;
inline constexpr int IDC_TIMEOUT_LABEL = 2020;
inline constexpr int IDC_REGULAR_ACTIVE = 2011;
inline constexpr int IDC_TIMER = 2015;
inline constexpr int IDC_EXECUTE_AT_START = 2016;
inline constexpr int IDC_ONE_SHOT = 2013;
inline constexpr int IDC_OPTIONS = 2014;

// What disabled OK and Apply buttons say while acquisition runs.
inline constexpr const wchar_t* kLockedWhileMeasuring =
    L"Locked while a measurement runs: stop it to apply changes.";

// String ids of the column titles.
inline constexpr UINT IDS_ACTIVE = 1001;
inline constexpr UINT IDS_NAME = 1002;
inline constexpr UINT IDS_CHANNEL = 1003;
inline constexpr UINT IDS_ID = 1004;
inline constexpr UINT IDS_DECODER = 1005;
inline constexpr UINT IDS_SETTINGS = 1006;
inline constexpr UINT IDS_TYPE = 1007;
inline constexpr UINT IDS_FREQUENCY = 1008;
inline constexpr UINT IDS_START_ID = 1009;
inline constexpr UINT IDS_STOP_ID = 1010;
inline constexpr UINT IDS_BITRATE = 1011;
inline constexpr UINT IDS_FD_DATARATE = 1012;
inline constexpr UINT IDS_FD_CHANNEL = 1013;

extern const ui::ResourceSet kDialogResources;

// The extension module record of this library (defined by the library entry).
AFX_EXTENSION_MODULE& ExtensionModule();

}  // namespace can
