#include "host/slowsampling/CSourceInfo.h"

namespace SlowSampling {

CSourceInfo& CSourceInfo::SourceInfo() {
  // Never destroyed: sources released during static destruction still find it.
  static CSourceInfo* info = new CSourceInfo;
  return *info;
}

CAsyncSource* CSourceInfo::signin(CAsyncSource* source) {
  if (source == nullptr) return nullptr;
  std::lock_guard lock(m_mutex);
  if (source->m_id != 0) {
    const auto it = m_sources.find(source->m_id);
    if (it != m_sources.end() && it->second == source) return source;
  }
  if (m_refusals > 0) {
    --m_refusals;
    return nullptr;
  }
  int id = m_reuseId;
  m_reuseId = 0;
  if (id <= 0) id = ++m_lastId;
  if (id > m_lastId) m_lastId = id;  // a forced id is never handed out again
  source->m_id = id;
  m_sources[id] = source;
  return source;
}

void CSourceInfo::release(CAsyncSource* source) {
  if (source == nullptr || source->m_id == 0) return;
  CSourceInfo& info = SourceInfo();
  std::lock_guard lock(info.m_mutex);
  const auto it = info.m_sources.find(source->m_id);
  if (it != info.m_sources.end() && it->second == source) info.m_sources.erase(it);
}

std::vector<CAsyncSource*> CSourceInfo::sources() const {
  std::lock_guard lock(m_mutex);
  std::vector<CAsyncSource*> result;
  result.reserve(m_sources.size());
  for (const auto& [id, source] : m_sources)
    result.push_back(source);
  return result;
}

CAsyncSource* CSourceInfo::find(int id) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_sources.find(id);
  return it == m_sources.end() ? nullptr : it->second;
}

void CSourceInfo::refuse_next_signin(unsigned count) {
  std::lock_guard lock(m_mutex);
  m_refusals = count;
}

void CSourceInfo::reuse_id_next_signin(int id) {
  std::lock_guard lock(m_mutex);
  m_reuseId = id;
}

}  // namespace SlowSampling
