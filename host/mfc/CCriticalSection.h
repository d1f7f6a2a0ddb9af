#pragma once
// The host framework's critical section: a plain mutex. Lock()/Unlock() as in the host, lock() and
// unlock() so that std::lock_guard and std::unique_lock work with it.
#include <mutex>

class CCriticalSection {
 public:
  CCriticalSection() = default;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  bool Lock() {
    m_mutex.lock();
    return true;
  }
  bool Unlock() {
    m_mutex.unlock();
    return true;
  }
  void lock() { m_mutex.lock(); }
  void unlock() { m_mutex.unlock(); }
  bool try_lock() { return m_mutex.try_lock(); }

 private:
  std::mutex m_mutex;
};
