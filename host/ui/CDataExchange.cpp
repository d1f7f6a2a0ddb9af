#include "host/ui/CDataExchange.h"

#include <charconv>
#include <string>

#include "host/ui/CDialog3d.h"

namespace {

// Blanks around the number are fine; anything else, or a value beyond int, is not.
bool ParseInt(const std::wstring& text, int& out) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7F) return false;
    narrow += static_cast<char>(c);
  }
  std::size_t first = narrow.find_first_not_of(" \t");
  std::size_t last = narrow.find_last_not_of(" \t");
  if (first == std::string::npos) return false;
  const char* begin = narrow.data() + first;
  const char* end = narrow.data() + last + 1;
  if (*begin == '+') ++begin;
  int value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return false;
  out = value;
  return true;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  pDX->m_pDlgWnd->SubclassDlgItem(id, control);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  if (!pDX->m_bSaveAndValidate) {
    pDX->m_pDlgWnd->SetDlgItemTextW(id, std::to_wstring(value).c_str());
    return;
  }
  int parsed = 0;
  if (ParseInt(pDX->m_pDlgWnd->GetDlgItemTextW(id).str(), parsed)) {
    value = parsed;
    return;
  }
  AfxMessageBox(kParseIntMessage, MB_ICONWARNING);
  pDX->Fail();
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (pDX->m_bSaveAndValidate)
    value = pDX->m_pDlgWnd->GetDlgItemTextW(id);
  else
    pDX->m_pDlgWnd->SetDlgItemTextW(id, value);
}
