#pragma once
// The host's registry of its worker threads (the CAN controllers' reception threads and the
// like): a name per thread for diagnostics, which is also given to the thread itself so that a
// debugger or `top -H` shows it.
#include <cstddef>
#include <map>
#include <mutex>
#include <thread>

#include "host/mfc/CString.h"

class CThreadControllerRegistry {
 public:
  // [any] The current host's registry.
  static CThreadControllerRegistry& Object();

  // [any] Records a running thread under `name` (again: renames it). A thread that is not running
  // is ignored.
  void Register(const std::thread& thread, const CString& name);
  // [any] Forgets a thread; unknown threads are ignored.
  void Release(const std::thread& thread);
  // [any] The name a thread was registered under; empty when it is not registered.
  CString Name(std::thread::id id) const;
  // [any] Number of registered threads.
  std::size_t Count() const;

 private:
  mutable std::mutex m_mutex;
  std::map<std::thread::id, CString> m_threads;
};
