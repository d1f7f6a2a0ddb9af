#pragma once
// The plug-in's dialog resources: templates 1000 "CAN-Bus", 2000 "CAN Decoding", 2001 "CAN
// Sequencer" and 2002 "CAN Standard Source" with their controls in dialog units, and the string
// table of column titles and display names. They are registered with
// the host for this library's extension module when the library loads.
#include <span>

#include "host/ui/DialogResource.h"

struct AFX_EXTENSION_MODULE;
class CXListCtrl;

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
inline constexpr int IDC_CHANNELS = 1004;
inline constexpr int IDC_DELAY = 2009;
inline constexpr int IDC_RATE = 2015;
inline constexpr int IDC_ID_LIST = 2017;
inline constexpr int IDC_RANGE_LIST = 2018;
inline constexpr int IDC_DECIMAL_IDS = 2019;
inline constexpr int IDC_CHANNEL_LIST = 2006;
inline constexpr int IDC_TIMEOUT = 2015;
inline constexpr int IDC_TIMEOUT_LABEL = 2020;
inline constexpr int IDC_REGULAR_ACTIVE = 2011;
inline constexpr int IDC_TIMER = 2015;
inline constexpr int IDC_EXECUTE_AT_START = 2016;
inline constexpr int IDC_ONE_SHOT = 2013;
inline constexpr int IDC_OPTIONS = 2014;
inline constexpr int IDC_TIMER_NOTE = 2021;

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
// Names a person sees for what the code names by class: the two modules and the DBC decoder.
inline constexpr UINT IDS_SOURCE_MODULE = 1014;
inline constexpr UINT IDS_SINK_MODULE = 1015;
inline constexpr UINT IDS_DBC_DECODER = 1016;

// Tooltips of the table columns: what each column means.
inline constexpr UINT IDS_TIP_ACTIVE_SOURCE = 1101;
inline constexpr UINT IDS_TIP_TYPE = 1102;
inline constexpr UINT IDS_TIP_NAME = 1103;
inline constexpr UINT IDS_TIP_CHANNEL = 1104;
inline constexpr UINT IDS_TIP_FD_CHANNEL = 1105;
inline constexpr UINT IDS_TIP_BITRATE = 1106;
inline constexpr UINT IDS_TIP_FD_DATARATE = 1107;
inline constexpr UINT IDS_TIP_SOURCE_SETTINGS = 1108;
inline constexpr UINT IDS_TIP_ID = 1109;
inline constexpr UINT IDS_TIP_ID_SHARE = 1110;
inline constexpr UINT IDS_TIP_START_ID = 1111;
inline constexpr UINT IDS_TIP_STOP_ID = 1112;
inline constexpr UINT IDS_TIP_ACTIVE_RANGE = 1113;
inline constexpr UINT IDS_TIP_RANGE_SHARE = 1114;
inline constexpr UINT IDS_TIP_BUS_NAME = 1115;
inline constexpr UINT IDS_TIP_DECODER = 1116;
inline constexpr UINT IDS_TIP_DECODER_SETTINGS = 1117;

extern const ui::ResourceSet kDialogResources;

// A table opens as high as its rows need, up to this many of them.
inline constexpr int kRowsShownAtMost = 20;

// A table column: title and tooltip from the string table, width in pixels.
struct ColumnDef {
  UINT title;
  int width;
  UINT tip;
};

// [ui] Inserts `columns` into `list`, left-aligned, with their titles and tooltips (this library's
// strings).
void InsertColumns(CXListCtrl& list, std::span<const ColumnDef> columns);

// The extension module record of this library (defined by the library entry).
AFX_EXTENSION_MODULE& ExtensionModule();

}  // namespace can
