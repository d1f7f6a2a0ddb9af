#pragma once
// Data exchange between a dialog's members and its controls (CDialog3d::UpdateData). Loading
// (m_bSaveAndValidate FALSE) writes the members into the controls; saving reads them back and
// validates. A value that does not validate is refused with the framework's message, marks its
// control with it (CWnd::Error), keeps its member unchanged and makes UpdateData return FALSE; the
// other exchanges still run.
//   DDX_Text(pDX, 2009, m_delay)  text " -12 " -> -12;  "12a", "", "3000000000" -> refused
//   DDX_Text(pDX, 2015, m_timeout) (unsigned)  "3000000000" -> 3000000000;  "-1", "" -> refused
//   DDX_Check(pDX, 2011, m_active)  ticked -> 1, clear -> 0
#include "host/mfc/CString.h"
#include "host/mfc/Win.h"

class CDialog3d;
class CWnd;

class CDataExchange {
 public:
  CDataExchange(CDialog3d* dialog, BOOL save) : m_bSaveAndValidate(save), m_pDlgWnd(dialog) {}
  // [ui] Marks the exchange as failed (a refused value).
  void Fail() noexcept { m_failed = true; }
  bool Failed() const noexcept { return m_failed; }

  BOOL m_bSaveAndValidate;
  CDialog3d* m_pDlgWnd;

 private:
  bool m_failed = false;
};

// Texts the integer exchanges refuse with.
inline constexpr const wchar_t* kParseIntMessage = L"Please enter an integer.";
inline constexpr const wchar_t* kParseUnsignedMessage = L"Please enter a positive integer.";

// [ui] Binds `control` to the dialog's control `id` (once per window).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// [ui] Signed 32-bit integer as decimal text.
void DDX_Text(CDataExchange* pDX, int id, int& value);
// [ui] Unsigned 32-bit integer as decimal text.
void DDX_Text(CDataExchange* pDX, int id, UINT& value);
// [ui] Check box state: 1 ticked, 0 clear.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// [ui] Text as it stands.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
