#include "dialogs/IdText.h"

#include <cwctype>
#include <optional>
#include <string_view>

#include "sources/IdRange.h"

namespace can {

namespace {

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && std::iswspace(static_cast<wint_t>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::iswspace(static_cast<wint_t>(s.back())))
    s.remove_suffix(1);
  return s;
}

std::optional<int> DigitValue(wchar_t c, int base) {
  int v = 99;
  if (c >= L'0' && c <= L'9') v = c - L'0';
  if (c >= L'a' && c <= L'f') v = c - L'a' + 10;
  if (c >= L'A' && c <= L'F') v = c - L'A' + 10;
  if (v >= base) return std::nullopt;
  return v;
}

// Every character a digit of `base`, at least one.
IdValue Digits(std::wstring_view s, int base, bool negative) {
  if (s.empty()) return {0, IdError::NotAnId};
  long long value = 0;
  bool tooBig = false;
  for (const wchar_t c : s) {
    const auto digit = DigitValue(c, base);
    if (!digit) return {0, IdError::NotAnId};
    if (!tooBig) value = value * base + *digit;
    tooBig = tooBig || value > kMaxCanId;
  }
  if (tooBig || (negative && value != 0)) return {0, IdError::OutOfRange};
  return {static_cast<int>(value), IdError::None};
}

bool IsHexPrefix(std::wstring_view s) {
  return s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
}

}  // namespace

IdValue ParseId(const CString& text) {
  std::wstring_view s = Trim(text.str());
  if (IsHexPrefix(s)) return Digits(s.substr(2), 16, false);
  if (!s.empty() && (s.back() == L'h' || s.back() == L'H'))
    return Digits(s.substr(0, s.size() - 1), 16, false);
  bool negative = false;
  if (!s.empty() && (s.front() == L'+' || s.front() == L'-')) {
    negative = s.front() == L'-';
    s.remove_prefix(1);
  }
  return Digits(s, 10, negative);
}

CString FormatId(int id, IdBase base) {
  CString text;
  if (base == IdBase::Hex && id >= 0)
    text.Format(L"0x%X", static_cast<unsigned>(id));
  else
    text.Format(L"%d", id);
  return text;
}

CString IdErrorText(const CString& text, IdError error) {
  CString message;
  if (error == IdError::OutOfRange)
    message.Format(L"'%s' is out of range: identifiers go from 0 to 0x3FFFFFFF.", text.GetString());
  else
    message.Format(L"'%s' is not an identifier: write hex as 0x7FF or 7FFh, decimal as 2047.",
                   text.GetString());
  return message;
}

}  // namespace can
