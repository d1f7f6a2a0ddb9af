#pragma once
// The few Windows services the plug-in uses: the millisecond tick counter and message boxes.
#include <cstdint>
#include <functional>

#include "host/mfc/CString.h"

using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// [any] Milliseconds of the host clock (host/services/HostClock.h), wrapping at 2^32.
DWORD GetTickCount();

// Message-box styles and results that the plug-in uses.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// [ui] Shows a message box. The host is headless: the text goes to the host log (category 1,
// style 2) and to the installed responder, which tests use to see and answer the box; without a
// responder the box answers IDOK.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);

namespace mfc {
using MessageBoxResponder = std::function<int(const CString& text, UINT type)>;
// [any] Installs the responder (empty: none); returns the previous one.
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);
}  // namespace mfc
