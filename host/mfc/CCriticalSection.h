#pragma once
// The host framework's critical section: a plain mutex, known to clang's thread-safety analysis as
// a lock (ThreadSafety.h). Lock()/Unlock() as in the host, lock() and unlock() so that the scoped
// locks work with it: host::ScopedLock<CCriticalSection> lock(m_lock).
#include <mutex>

#include "host/mfc/ThreadSafety.h"

class CAPABILITY("mutex") CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  bool Lock() ACQUIRE() {
    m_mutex.lock();
    return true;
  }
  bool Unlock() RELEASE() {
    m_mutex.unlock();
    return true;
  }
  void lock() ACQUIRE() { m_mutex.lock(); }
  void unlock() RELEASE() { m_mutex.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

 private:
  std::mutex m_mutex;
};

namespace host {
// The scoped lock of a critical section.
using CriticalSectionLock = ScopedLock<CCriticalSection>;
}  // namespace host
