#pragma once
// The lock of a snapshot that the UI copies and the processing thread publishes. The processing
// thread only tries it: while the UI is copying the last snapshot it skips one publication (the
// next one catches up) rather than wait for the UI. Other publishers wait.
//   if (!LockSnapshot(m_statsLock, frame)) return;
//   host::MutexLock lock(m_statsLock, std::adopt_lock);
#include "host/mfc/ThreadSafety.h"

// Whether `mutex` is now held (always, unless `processing`).
inline bool LockSnapshot(host::Mutex& mutex, bool processing) TRY_ACQUIRE(true, mutex) {
  if (processing) return mutex.try_lock();
  mutex.lock();
  return true;
}
