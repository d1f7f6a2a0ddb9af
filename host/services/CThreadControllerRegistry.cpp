#include "host/services/CThreadControllerRegistry.h"

#include <pthread.h>

#include "host/services/Host.h"

CThreadControllerRegistry& CThreadControllerRegistry::Object() {
  return host::CurrentHost().Get<CThreadControllerRegistry>();
}

void CThreadControllerRegistry::Register(const std::thread& thread, const CString& name) {
  if (!thread.joinable()) return;
  {
    std::lock_guard lock(m_mutex);
    m_threads[thread.get_id()] = name;
  }
  // The kernel keeps 15 bytes of a thread name; cut at a character boundary.
  std::string shortName = name.ToUtf8();
  if (shortName.size() > 15) {
    std::size_t cut = 15;
    while (cut > 0 && (static_cast<unsigned char>(shortName[cut]) & 0xC0) == 0x80)
      --cut;
    shortName.resize(cut);
  }
  pthread_setname_np(const_cast<std::thread&>(thread).native_handle(), shortName.c_str());
}

void CThreadControllerRegistry::Release(const std::thread& thread) {
  std::lock_guard lock(m_mutex);
  m_threads.erase(thread.get_id());
}

CString CThreadControllerRegistry::Name(std::thread::id id) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_threads.find(id);
  return it == m_threads.end() ? CString() : it->second;
}

std::size_t CThreadControllerRegistry::Count() const {
  std::lock_guard lock(m_mutex);
  return m_threads.size();
}
