#pragma once
// The window-system vocabulary the dialogs speak: message and notification codes, key codes,
// rectangles and the notification records a control sends its dialog.
#include <cstdint>

#include "host/mfc/Win.h"

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Messages a dialog handles.
// The client area took a new size: wParam SIZE_RESTORED, lParam the width in the low 16 bits and
// the height in the next 16 (MakeSizeParam, SizeWidth, SizeHeight).
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_USER = 0x0400;
// Sent by a CXListCtrl to its dialog: wParam the row, lParam the column.
inline constexpr UINT WM_XLISTCTRL_CHECKBOX_CLICKED = WM_USER + 0x200;
// Sent by a CXListCtrl to its dialog when a hyperlink cell is clicked: wParam the row.
inline constexpr UINT WM_XLISTCTRL_LINK_CLICKED = WM_USER + 0x201;
// Sent by a CXListCtrl when a combo cell takes another selection: wParam row, lParam column.
inline constexpr UINT WM_XLISTCTRL_COMBO_SELECTION = WM_USER + 0x202;
// Sent by a CXListCtrl when an in-place edit ends with a changed text: wParam row, lParam column.
inline constexpr UINT WM_XLISTCTRL_EDIT_END = WM_USER + 0x203;

constexpr LPARAM MakeSizeParam(int width, int height) noexcept {
  return static_cast<LPARAM>((static_cast<unsigned>(width) & 0xFFFFu) |
                             ((static_cast<unsigned>(height) & 0xFFFFu) << 16));
}
constexpr int SizeWidth(LPARAM size) noexcept {
  return static_cast<int>(size & 0xFFFF);
}
constexpr int SizeHeight(LPARAM size) noexcept {
  return static_cast<int>((size >> 16) & 0xFFFF);
}

// Notification codes (NMHDR::code).
inline constexpr UINT NM_CLICK = static_cast<UINT>(-2);
inline constexpr UINT LVN_KEYDOWN = static_cast<UINT>(-155);
// Button notification (WM_COMMAND high word).
inline constexpr UINT BN_CLICKED = 0;
// Edit notification (WM_COMMAND high word): the person changed the text.
inline constexpr UINT EN_CHANGE = 0x0300;

// Virtual keys.
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_DELETE = 46;

// List item flags.
inline constexpr UINT LVIF_PARAM = 0x4;
inline constexpr UINT LVIS_SELECTED = 0x2;
inline constexpr int LVNI_SELECTED = 0x2;
// Column widths computed from the content: the widest cell, or the wider of it and the title.
inline constexpr int LVSCW_AUTOSIZE = -1;
inline constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

struct CRect {
  int left = 0;  // pixels from the parent's client origin
  int top = 0;
  int right = 0;   // exclusive
  int bottom = 0;  // exclusive
  int Width() const noexcept { return right - left; }
  int Height() const noexcept { return bottom - top; }
  bool operator==(const CRect&) const = default;
};

struct NMHDR {
  void* hwndFrom = nullptr;  // the control's model object
  int idFrom = 0;            // control id
  UINT code = 0;             // NM_CLICK, LVN_KEYDOWN, ...
};

// NM_CLICK of a list: the row and column under the click, -1 below the last row.
struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = -1;
};

// LVN_KEYDOWN of a list.
struct NMLVKEYDOWN {
  NMHDR hdr;
  unsigned short wVKey = 0;  // virtual key
  UINT flags = 0;
};

// A list item as InsertItem takes it; only the parameter is used.
struct LVITEM {
  UINT mask = 0;
  int iItem = 0;
  int iSubItem = 0;
  LPARAM lParam = 0;
};

// [ui] Key state as the dialogs query it: the high bit (the value is negative) while the key is
// held. Keys are held by the input that the UI layer is delivering (CXListCtrl::PressKey).
short GetKeyState(int virtualKey);

namespace ui {
// [ui] Holds or releases a key for GetKeyState (the input layer delivering a key press).
void SetKeyHeld(int virtualKey, bool held);
}  // namespace ui
