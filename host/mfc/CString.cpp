#include "host/mfc/CString.h"

#include <cwchar>
#include <cwctype>
#include <vector>

namespace mfc {

namespace {
// Rewrites a host wide format into a glibc wide format: %s -> %ls, %c -> %lc, %S -> %s, %C -> %c.
std::wstring TranslateFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p; ++p) {
    out += *p;
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') {
      out += *p;
      continue;
    }
    bool hasLength = false;
    while (*p && std::wcschr(L"-+ #0123456789.*hlLqjzt", *p)) {
      if (std::wcschr(L"hlLqjzt", *p)) hasLength = true;
      out += *p++;
    }
    if (!*p) break;
    if ((*p == L's' || *p == L'c') && !hasLength) {
      out += L'l';
      out += *p;
    } else if (*p == L'S' || *p == L'C') {
      out += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p)));
    } else {
      out += *p;
    }
  }
  return out;
}
}  // namespace

std::wstring FormatWide(const wchar_t* format, va_list args) {
  if (!format) return {};
  std::wstring fmt = TranslateFormat(format);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n >= 0 && static_cast<std::size_t>(n) < buffer.size())
      return std::wstring(buffer.data(), n);
    if (buffer.size() > (1u << 24)) return fmt;  // malformed format: never loop forever
    buffer.resize(buffer.size() * 4);
  }
}

std::wstring WidenUtf8(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size()) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string NarrowUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (wchar_t w : wide) {
    auto cp = static_cast<char32_t>(w);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace mfc

CString::CString(const char* narrow) : m_text(mfc::WidenUtf8(narrow ? narrow : "")) {}

int CString::CompareNoCase(const wchar_t* other) const {
  const std::wstring_view b = other ? other : L"";
  const std::size_t n = std::min(m_text.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = std::towlower(static_cast<wint_t>(m_text[i]));
    const auto y = std::towlower(static_cast<wint_t>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (m_text.size() == b.size()) return 0;
  return m_text.size() < b.size() ? -1 : 1;
}

int CString::Find(const wchar_t* sub, int start) const noexcept {
  if (!sub || start < 0) return -1;
  const auto pos = m_text.find(sub, static_cast<std::size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t ch, int start) const noexcept {
  if (start < 0) return -1;
  const auto pos = m_text.find(ch, static_cast<std::size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const {
  if (count <= 0) return {};
  return CString(m_text.substr(0, static_cast<std::size_t>(count)));
}

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (static_cast<std::size_t>(first) >= m_text.size()) return {};
  if (count < 0) return CString(m_text.substr(static_cast<std::size_t>(first)));
  return CString(m_text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count)));
}

CString CString::Right(int count) const {
  if (count <= 0) return {};
  const auto n = std::min(static_cast<std::size_t>(count), m_text.size());
  return CString(m_text.substr(m_text.size() - n));
}

CString& CString::Trim() {
  const auto first = m_text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) {
    m_text.clear();
    return *this;
  }
  const auto last = m_text.find_last_not_of(L" \t\r\n");
  m_text = m_text.substr(first, last - first + 1);
  return *this;
}

CString& CString::MakeUpper() {
  for (auto& c : m_text)
    c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return *this;
}

CString& CString::MakeLower() {
  for (auto& c : m_text)
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return *this;
}

void CString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  m_text = mfc::FormatWide(format, args);
  va_end(args);
}

void CString::FormatV(const wchar_t* format, va_list args) {
  m_text = mfc::FormatWide(format, args);
}

void CString::AppendFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  m_text += mfc::FormatWide(format, args);
  va_end(args);
}

std::string CString::ToUtf8() const {
  return mfc::NarrowUtf8(m_text);
}
CString CString::FromUtf8(std::string_view utf8) {
  return CString(mfc::WidenUtf8(utf8));
}
