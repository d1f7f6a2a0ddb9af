#include "host/slowsampling/CSourceInfo.h"

#include "host/services/Host.h"

namespace SlowSampling {

CSourceInfo::CSourceInfo(IdChooser chooser)
    : m_chooser(chooser ? std::move(chooser) : [](int lastId) { return lastId + 1; }) {}

CSourceInfo& CSourceInfo::SourceInfo() {
  return host::CurrentHost().Get<CSourceInfo>();
}

CAsyncSource* CSourceInfo::signin(CAsyncSource* source) {
  if (source == nullptr) return nullptr;
  {
    host::MutexLock lock(m_mutex);
    if (source->m_id != 0) {
      const auto it = m_sources.find(source->m_id);
      if (it != m_sources.end() && it->second == source) return source;
    }
    const int id = m_chooser(m_lastId);
    if (id <= 0) return nullptr;
    if (id > m_lastId) m_lastId = id;
    source->m_id = id;
    m_sources[id] = source;
  }
  notify(source, true);
  return source;
}

void CSourceInfo::release(CAsyncSource* source) {
  if (source == nullptr || source->m_id == 0) return;
  CSourceInfo& info = SourceInfo();
  {
    host::MutexLock lock(info.m_mutex);
    const auto it = info.m_sources.find(source->m_id);
    if (it == info.m_sources.end() || it->second != source) return;
    info.m_sources.erase(it);
  }
  info.notify(source, false);
}

int CSourceInfo::observe(Observer observer) {
  host::MutexLock lock(m_mutex);
  m_observers.emplace(++m_lastObserver, std::move(observer));
  return m_lastObserver;
}

void CSourceInfo::unobserve(int number) {
  host::MutexLock lock(m_mutex);
  m_observers.erase(number);
}

// Copied out, so that an observer may sign in, release, or observe itself.
void CSourceInfo::notify(CAsyncSource* source, bool signedIn) {
  std::vector<Observer> observers;
  {
    host::MutexLock lock(m_mutex);
    for (const auto& [number, observer] : m_observers)
      observers.push_back(observer);
  }
  for (const Observer& observer : observers)
    observer(source, signedIn);
}

std::vector<CAsyncSource*> CSourceInfo::sources() const {
  host::MutexLock lock(m_mutex);
  std::vector<CAsyncSource*> result;
  result.reserve(m_sources.size());
  for (const auto& [id, source] : m_sources)
    result.push_back(source);
  return result;
}

CAsyncSource* CSourceInfo::find(int id) const {
  host::MutexLock lock(m_mutex);
  const auto it = m_sources.find(id);
  return it == m_sources.end() ? nullptr : it->second;
}

}  // namespace SlowSampling
