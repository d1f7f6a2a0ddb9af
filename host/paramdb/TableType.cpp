#include "host/paramdb/TableType.h"

#include <algorithm>

wchar_t* TableType::strcopy(wchar_t* dest, const wchar_t* src, std::size_t maxChars) noexcept {
  std::size_t n = 0;
  if (src)
    while (n < maxChars && src[n] != L'\0') {
      dest[n] = src[n];
      ++n;
    }
  dest[n] = L'\0';
  return dest;
}

wchar_t* TableType::strcopy(Text& dest, const wchar_t* src, std::size_t maxChars) noexcept {
  return strcopy(dest.data(), src, std::min(maxChars, kMaxChars));
}

std::wstring_view TableType::view(const Text& cell) noexcept {
  return std::wstring_view(cell.data());
}
