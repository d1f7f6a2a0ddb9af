#pragma once
// The host's registry of asynchronous sources. Signing in gives a source its id: ids start at 1,
// grow by one per sign-in and are never given twice in a process (unless a test asks for it, see
// below). The registry does not own the sources; it keeps them in id order for the sinks, and
// tells its observers (the host binding sources to its sinks) of every sign-in and release.
#include <cstddef>
#include <functional>
#include <map>
#include <vector>

#include "host/mfc/ThreadSafety.h"
#include "host/slowsampling/CAsyncSource.h"

class CSlowAsyncSourcePlugin;

namespace SlowSampling {

class CSourceInfo {
 public:
  // [any] The process-wide registry (never destroyed).
  static CSourceInfo& SourceInfo();

  // [ui] Signs a source in and returns it with its id set, or null when the registry refuses (a
  // null source, or a refusal asked for by a test). A source already signed in is returned as it
  // is, under its id.
  CAsyncSource* signin(CAsyncSource* source);
  // [ui] Removes the source from the registry if it is signed in; the source keeps its id. Static,
  // so that both CSourceInfo::release(s) and SourceInfo().release(s) read naturally.
  static void release(CAsyncSource* source);

  // [any] The signed-in sources in id order (not owned; valid until they are released).
  std::vector<CAsyncSource*> sources() const;
  // [any] The source signed in under id, or null.
  CAsyncSource* find(int id) const;

  // Called after a source signed in (true) or was released (false), on the thread that did it,
  // without the registry's lock held.
  using Observer = std::function<void(CAsyncSource* source, bool signedIn)>;
  // [ui] Adds an observer; the number to remove it with.
  int observe(Observer observer);
  // [ui] Removes an observer; unknown numbers are ignored.
  void unobserve(int number);

  // Fault injection for tests of source plug-ins.
  // [ui] The next `count` sign-ins are refused.
  void refuse_next_signin(unsigned count = 1);
  // [ui] The next sign-in gives `id` (normally one already given) instead of a new one; the
  // source signed in before under that id is no longer in the registry.
  void reuse_id_next_signin(int id);

 private:
  CSourceInfo() = default;
  void notify(CAsyncSource* source, bool signedIn) EXCLUDES(m_mutex);

  mutable host::Mutex m_mutex;
  std::map<int, CAsyncSource*> m_sources GUARDED_BY(m_mutex);  // signed-in sources by id
  int m_lastId GUARDED_BY(m_mutex) = 0;         // last id given; the next is m_lastId + 1
  unsigned m_refusals GUARDED_BY(m_mutex) = 0;  // sign-ins still to refuse
  int m_reuseId GUARDED_BY(m_mutex) = 0;        // id for the next sign-in, 0: a new one
  std::map<int, Observer> m_observers GUARDED_BY(m_mutex);  // by number
  int m_lastObserver GUARDED_BY(m_mutex) = 0;
};

}  // namespace SlowSampling
