#include "host/paramdb/SessionSignals.h"

#include "host/services/Host.h"

SessionSignals& SessionSignals::Instance() {
  return host::CurrentHost().Get<SessionSignals>();
}

int SessionSignals::Number(const CString& name, const CString& unit) {
  std::lock_guard lock(m_mutex);
  const auto [it, added] = m_byName.try_emplace(name, kFirst + static_cast<int>(m_rows.size()));
  if (added) m_rows.push_back(Row{name, unit});
  return it->second;
}

std::optional<CString> SessionSignals::Name(int number) const {
  std::lock_guard lock(m_mutex);
  if (number < kFirst || number - kFirst >= static_cast<int>(m_rows.size())) return std::nullopt;
  return m_rows[static_cast<std::size_t>(number - kFirst)].name;
}

std::optional<CString> SessionSignals::Unit(int number) const {
  std::lock_guard lock(m_mutex);
  if (number < kFirst || number - kFirst >= static_cast<int>(m_rows.size())) return std::nullopt;
  return m_rows[static_cast<std::size_t>(number - kFirst)].unit;
}
