#pragma once
// The lock of a snapshot that the UI copies and the processing thread publishes. The processing
// thread only tries it: while the UI is copying the last snapshot it skips one publication (the
// next one catches up) rather than wait for the UI. Other publishers wait.
#include <mutex>

inline std::unique_lock<std::mutex> LockSnapshot(std::mutex& mutex, bool processing) {
  if (processing) return std::unique_lock(mutex, std::try_to_lock);
  return std::unique_lock(mutex);
}
