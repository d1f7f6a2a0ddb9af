#include "host/settings/CResourceList.h"

CResourceList::CResourceList(CResourceSea& sea, const CString& name)
    : m_sea(sea), m_name(name.str()), m_writable(true) {}

// The sea is not changed through a read-only cursor: RemoveAll and AddLineTail refuse.
CResourceList::CResourceList(const CResourceSea& sea, const CString& name)
    : m_sea(const_cast<CResourceSea&>(sea)), m_name(name.str()), m_writable(false) {}

int CResourceList::Status() const {
  std::lock_guard lock(m_sea.m_mutex);
  return m_sea.FindListLocked(m_name) ? 1 : 0;
}

std::size_t CResourceList::GetCount() const {
  std::lock_guard lock(m_sea.m_mutex);
  const auto* list = m_sea.FindListLocked(m_name);
  return list ? list->lines.size() : 0;
}

bool CResourceList::GotoHead() {
  std::lock_guard lock(m_sea.m_mutex);
  m_list = m_sea.FindListLocked(m_name);
  m_valid = m_list && !m_list->lines.empty();
  if (m_valid) m_cursor = m_list->lines.begin();
  return m_valid;
}

bool CResourceList::GotoNext() {
  if (!m_valid) return false;
  std::lock_guard lock(m_sea.m_mutex);
  m_valid = ++m_cursor != m_list->lines.end();
  return m_valid;
}

CResourceEntry* CResourceList::GetCurrentLine() const {
  return m_valid ? &*m_cursor : nullptr;
}

void CResourceList::RemoveAll() {
  m_valid = false;
  if (!m_writable) return;
  std::lock_guard lock(m_sea.m_mutex);
  auto* list = m_sea.FindListLocked(m_name);
  if (!list || list->lines.empty()) return;
  list->lines.clear();
  m_sea.m_changed = true;
}

CResourceEntry* CResourceList::AddLineTail() {
  if (!m_writable) return nullptr;
  std::lock_guard lock(m_sea.m_mutex);
  auto* list = m_sea.FindListLocked(m_name);
  if (!list) list = &m_sea.m_lists.emplace_back(CResourceSea::List{m_name, {}});
  m_sea.m_changed = true;
  return &list->lines.emplace_back(&m_sea);
}
