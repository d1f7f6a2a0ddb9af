#include "host/ui/IntegerInput.h"

#include <cstdint>
#include <string_view>

namespace ui {

bool IntegerInput::Parse(const CString& text, int& value) const noexcept {
  const std::wstring& full = text.str();
  const std::size_t first = full.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return false;
  const std::wstring_view s(full.data() + first, full.find_last_not_of(L" \t") + 1 - first);
  const bool negative = s[0] == L'-';
  std::size_t i = negative ? 1 : 0;
  if (i == s.size() || s.size() - i > 10) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    v = v * 10 + (s[i] - L'0');
  }
  if (negative) v = -v;
  if (v < min || v > max) return false;
  value = static_cast<int>(v);
  return true;
}

bool IntegerInput::Admits(const CString& text) const noexcept {
  if (text.IsEmpty()) return true;
  if (text == L"-") return min < 0;
  // Blanks are for the reader of a finished field, not for typing.
  if (text.str().find_first_of(L" \t") != std::wstring::npos) return false;
  int ignored = 0;
  return Parse(text, ignored);
}

}  // namespace ui
