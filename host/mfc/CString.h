#pragma once
// CString: the host's wide text type. Text is UTF-32 in a std::wstring on Linux; the narrow
// ("ANSI code page") form is UTF-8.
//
// Format() follows the host's wide printf conventions, not glibc's: in a wide format "%s" takes a
// wide string and "%S" a narrow one (glibc would read "%s" as narrow). Examples:
//   Format(L"bus %d", 3)               -> "bus 3"
//   Format(L"'%s' at %u", L"rpm", 7u)  -> "'rpm' at 7"
//   Format(L"%S_%u", "CCanDbcDecoder", 1u) -> "CCanDbcDecoder_1"
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

class CString {
 public:
  CString() = default;
  CString(const wchar_t* text) : m_text(text ? text : L"") {}  // NOLINT: implicit as in the host
  CString(std::wstring text) : m_text(std::move(text)) {}      // NOLINT
  CString(std::wstring_view text) : m_text(text) {}            // NOLINT
  CString(const wchar_t* text, int length) : m_text(text, static_cast<std::size_t>(length)) {}
  // Narrow text is taken as UTF-8 (the ANSI code page of this host).
  explicit CString(const char* narrow);

  const std::wstring& str() const noexcept { return m_text; }
  std::wstring& str() noexcept { return m_text; }
  const wchar_t* GetString() const noexcept { return m_text.c_str(); }
  operator const wchar_t*() const noexcept { return m_text.c_str(); }  // NOLINT
  operator std::wstring_view() const noexcept { return m_text; }       // NOLINT

  int GetLength() const noexcept { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const noexcept { return m_text.empty(); }
  void Empty() noexcept { m_text.clear(); }
  wchar_t GetAt(int index) const { return m_text.at(static_cast<std::size_t>(index)); }

  int Compare(const wchar_t* other) const noexcept { return m_text.compare(other ? other : L""); }
  int CompareNoCase(const wchar_t* other) const;
  int Find(const wchar_t* sub, int start = 0) const noexcept;
  int Find(wchar_t ch, int start = 0) const noexcept;
  CString Left(int count) const;
  CString Mid(int first, int count = -1) const;
  CString Right(int count) const;
  CString& Trim();
  CString& MakeUpper();
  CString& MakeLower();

  CString& operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
  }
  CString& operator+=(const wchar_t* other) {
    if (other) m_text += other;
    return *this;
  }
  CString& operator+=(wchar_t ch) {
    m_text += ch;
    return *this;
  }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend CString operator+(CString a, const wchar_t* b) { return a += b; }
  friend CString operator+(const wchar_t* a, const CString& b) { return CString(a) += b; }
  friend CString operator+(CString a, wchar_t b) { return a += b; }

  bool operator==(const CString& other) const noexcept { return m_text == other.m_text; }
  bool operator==(const wchar_t* other) const noexcept { return Compare(other) == 0; }
  auto operator<=>(const CString& other) const noexcept { return m_text <=> other.m_text; }

  // Host printf conventions, see above.
  void Format(const wchar_t* format, ...);
  void FormatV(const wchar_t* format, va_list args);
  void AppendFormat(const wchar_t* format, ...);

  std::string ToUtf8() const;
  static CString FromUtf8(std::string_view utf8);

 private:
  std::wstring m_text;
};

namespace mfc {
// Formats with the host's wide printf conventions ("%s" is wide, "%S" narrow).
std::wstring FormatWide(const wchar_t* format, va_list args);
// UTF-8 <-> wide. Invalid UTF-8 sequences become U+FFFD; nothing is dropped silently.
std::wstring WidenUtf8(std::string_view utf8);
std::string NarrowUtf8(std::wstring_view wide);
}  // namespace mfc
