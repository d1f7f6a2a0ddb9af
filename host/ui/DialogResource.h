#pragma once
// Dialog resources: templates and string tables that a plug-in library keeps as constant data and
// hands to the host (CLibMgr::RegisterResources). Positions and sizes are in dialog units: a
// horizontal unit is a quarter of the dialog font's average character width, a vertical unit an
// eighth of its height, so a dialog keeps its proportions whatever font the host uses.
//
// A template, as a library writes it:
//   constexpr ui::ControlRes kControls[] = {
//       {1002, ui::ControlKind::Button, L"Add", 7, 80, 50, 14},           // push button
//       {-1, ui::ControlKind::Static, L"Delay", 45, 104, 136, 8},         // label, no id
//       {2009, ui::ControlKind::Edit, L"", 184, 101, 40, 14, ui::kRightAligned,
//        L"Ticks of 125 µs"},                                              // with a tooltip
//   };
//   constexpr ui::DialogRes kDialog{1000, L"CAN-Bus", 231, 143, kControls};
#include <span>

#include "host/ui/UiTypes.h"

namespace ui {

enum class ControlKind {
  Static,         // text label
  Button,         // push button
  DefaultButton,  // push button pressed by Enter
  Edit,           // one-line text field
  CheckBox,       // check box with its text
  ListView,       // report-style list (CXListCtrl)
  GroupBox,       // titled frame around the controls after it (drawn behind them)
};

// Style bits of a control.
inline constexpr unsigned kRightAligned = 0x1;   // Edit: text aligned right
inline constexpr unsigned kReadOnly = 0x2;       // Edit: the user cannot type
inline constexpr unsigned kMultiSelect = 0x4;    // ListView: several rows selectable
inline constexpr unsigned kDigitsOnly = 0x8;     // Edit: typing admits the digits 0-9 only
inline constexpr unsigned kSignedDigits = 0x10;  // Edit: typing admits a signed 32-bit integer

struct ControlRes {
  int id;               // control id; -1 for a label nobody addresses
  ControlKind kind;     // what the control is
  const wchar_t* text;  // caption or initial text
  int x, y, cx, cy;     // position and size in dialog units
  unsigned style = 0;   // kRightAligned, kReadOnly, kMultiSelect, kDigitsOnly, kSignedDigits
  const wchar_t* tip = nullptr;  // tooltip: what the control means; null for none
};

struct DialogRes {
  int id;                                // template id
  const wchar_t* title;                  // window title
  int cx, cy;                            // client size in dialog units
  std::span<const ControlRes> controls;  // in tab order
};

struct StringRes {
  UINT id;
  const wchar_t* text;
};

// Everything one library provides.
struct ResourceSet {
  std::span<const DialogRes> dialogs;
  std::span<const StringRes> strings;
};

// The dialog font's base units: average character width and height in pixels.
struct DialogUnits {
  int charWidth = 6;    // average width of the font's letters
  int charHeight = 13;  // line height
};

// Pixels of a rectangle given in dialog units, rounded to the nearest pixel.
constexpr CRect ToPixels(const DialogUnits& units, int x, int y, int cx, int cy) noexcept {
  auto px = [&](int du) { return (du * units.charWidth + 2) / 4; };
  auto py = [&](int du) { return (du * units.charHeight + 4) / 8; };
  return CRect{px(x), py(y), px(x + cx), py(y + cy)};
}
static_assert(ToPixels(DialogUnits{}, 4, 8, 50, 14) == CRect{6, 13, 81, 36});

}  // namespace ui
