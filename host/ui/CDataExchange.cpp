#include "host/ui/CDataExchange.h"

#include <charconv>
#include <string>

#include "host/ui/CDialog3d.h"
#include "host/ui/CWnd.h"

namespace {

// Blanks around the number are fine; anything else, or a value beyond T, is not.
template <typename T>
bool ParseInteger(const std::wstring& text, T& out) {
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
  T value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return false;
  out = value;
  return true;
}

template <typename T>
void ExchangeInteger(CDataExchange* pDX, int id, T& value, const wchar_t* refusal) {
  if (!pDX->m_bSaveAndValidate) {
    pDX->m_pDlgWnd->SetDlgItemTextW(id, std::to_wstring(value).c_str());
    return;
  }
  T parsed = 0;
  if (ParseInteger(pDX->m_pDlgWnd->GetDlgItemTextW(id).str(), parsed)) {
    value = parsed;
    return;
  }
  // The field says why beside the box, until the person types in it.
  if (CWnd* field = pDX->m_pDlgWnd->GetDlgItem(id)) field->SetError(refusal);
  AfxMessageBox(refusal, MB_ICONWARNING);
  pDX->Fail();
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  pDX->m_pDlgWnd->SubclassDlgItem(id, control);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  ExchangeInteger(pDX, id, value, kParseIntMessage);
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value) {
  ExchangeInteger(pDX, id, value, kParseUnsignedMessage);
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  CWnd* box = pDX->m_pDlgWnd->GetDlgItem(id);
  if (box == nullptr) return;
  if (pDX->m_bSaveAndValidate)
    value = box->GetCheck();
  else
    box->SetCheck(value != 0 ? 1 : 0);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (pDX->m_bSaveAndValidate)
    value = pDX->m_pDlgWnd->GetDlgItemTextW(id);
  else
    pDX->m_pDlgWnd->SetDlgItemTextW(id, value);
}
