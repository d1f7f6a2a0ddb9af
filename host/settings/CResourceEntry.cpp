#include "host/settings/CResourceEntry.h"

#include <limits>
#include <optional>

#include "host/settings/CResourceSea.h"

namespace {

// Decimal integer with optional blanks around it and an optional sign; nothing else.
std::optional<int> ParseInt(std::wstring_view text) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
    negative = text.front() == L'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
    if (value > std::numeric_limits<int>::max() + 1LL) return std::nullopt;
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

CResourceEntry::CResourceEntry(CResourceSea* owner, std::wstring name)
    : m_owner(owner), m_name(std::move(name)) {}

std::unique_lock<std::mutex> CResourceEntry::Guard() const {
  return m_owner ? std::unique_lock(m_owner->m_mutex) : std::unique_lock<std::mutex>();
}

void CResourceEntry::SetPartLocked(std::wstring text, std::size_t index) {
  if (index >= m_parts.size()) m_parts.resize(index + 1);
  m_parts[index] = std::move(text);
  if (m_owner) m_owner->m_changed = true;
}

CString CResourceEntry::GetName() const {
  auto lock = Guard();
  return m_name;
}

std::uint64_t CResourceEntry::GetValueCount() const {
  auto lock = Guard();
  return m_parts.size();
}

int CResourceEntry::GetIntFb(std::size_t index, int fallback) const {
  auto lock = Guard();
  if (index >= m_parts.size()) return fallback;
  return ParseInt(m_parts[index]).value_or(fallback);
}

bool CResourceEntry::GetBoolFb(std::size_t index, bool fallback) const {
  auto lock = Guard();
  if (index >= m_parts.size()) return fallback;
  const auto value = ParseInt(m_parts[index]);
  return value ? *value != 0 : fallback;
}

CString CResourceEntry::GetStringFb(std::size_t index, const CString& fallback) const {
  auto lock = Guard();
  return index < m_parts.size() ? CString(m_parts[index]) : fallback;
}

void CResourceEntry::SetInt(int value, std::size_t index) {
  auto lock = Guard();
  SetPartLocked(std::to_wstring(value), index);
}

void CResourceEntry::SetBool(bool value, std::size_t index) {
  auto lock = Guard();
  SetPartLocked(value ? L"1" : L"0", index);
}

void CResourceEntry::SetText(const CString& value, std::size_t index) {
  auto lock = Guard();
  SetPartLocked(value.str(), index);
}

const wchar_t* CResourceEntry::EintragText(std::size_t index) const {
  auto lock = Guard();
  return index < m_parts.size() ? m_parts[index].c_str() : nullptr;
}

void CResourceEntry::WertNeuSetzen(const CString& text, std::size_t index) {
  auto lock = Guard();
  SetPartLocked(text.str(), index);
}

void CResourceEntry::SetSeaLine(const CString& text) {
  auto lock = Guard();
  m_parts.assign(1, text.str());
  if (m_owner) m_owner->m_changed = true;
}

bool CResourceEntry::GetLineValuePart(CString& value) const {
  auto lock = Guard();
  std::wstring joined;
  for (std::size_t i = 0; i < m_parts.size(); ++i) {
    if (i > 0) joined += L' ';
    joined += m_parts[i];
  }
  value = CString(std::move(joined));
  return !m_parts.empty();
}

std::vector<std::wstring> CResourceEntry::GetParts() const {
  auto lock = Guard();
  return m_parts;
}
