#pragma once
// Locks the compiler checks. Clang's thread-safety analysis (-Wthread-safety, on in every clang
// build of this tree, warnings are errors) proves that a member marked GUARDED_BY(lock) is only
// touched with that lock held, and that a function marked REQUIRES(lock) is only called with it.
// GCC ignores the marks. The thread tags of the comments ([ui], [processing], [reception]) say who
// calls; these marks say what must be held while doing so.
//
//   class Queue {
//     host::Mutex m_lock;
//     std::vector<int> m_items GUARDED_BY(m_lock);
//     void push_locked(int v) REQUIRES(m_lock) { m_items.push_back(v); }
//    public:
//     void push(int v) { host::MutexLock lock(m_lock); push_locked(v); }
//     int size() { return static_cast<int>(m_items.size()); }  // error: reading m_items
//   };                                                          // requires holding m_lock
//
// std::lock_guard and std::unique_lock of libstdc++ carry no marks, so guarded members are locked
// with the scoped locks below.
#include <mutex>

#if defined(__clang__)
#define CANHOST_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define CANHOST_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) CANHOST_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY CANHOST_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) CANHOST_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) CANHOST_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) CANHOST_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) CANHOST_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) CANHOST_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) CANHOST_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) CANHOST_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(x) CANHOST_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS CANHOST_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace host {

// A std::mutex the analysis knows as a lock.
class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() ACQUIRE() { m_mutex.lock(); }
  void unlock() RELEASE() { m_mutex.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

 private:
  std::mutex m_mutex;
};

// Holds a lock (host::Mutex, CCriticalSection, anything with lock/unlock marked as a capability)
// for its scope. With std::adopt_lock it takes over a lock already held (after a try_lock).
template <class Lockable>
class SCOPED_CAPABILITY ScopedLock {
 public:
  explicit ScopedLock(Lockable& lockable) ACQUIRE(lockable) : m_lockable(lockable) {
    m_lockable.lock();
  }
  ScopedLock(Lockable& lockable, std::adopt_lock_t) REQUIRES(lockable) : m_lockable(lockable) {}
  ~ScopedLock() RELEASE() { m_lockable.unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lockable& m_lockable;
};

using MutexLock = ScopedLock<Mutex>;

}  // namespace host
