#pragma once
// The host's registry of asynchronous sources. Signing in gives a source its id: the host's own
// chooser starts at 1 and gives one more per sign-in, so no id is given twice by one host. The registry does not own the sources; it keeps them in id order for the sinks, and
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
  // Chooses the id of a sign-in from the last id given; an answer of 0 or less refuses the
  // sign-in. An id given before replaces the source signed in under it, if any; one above it
  // is never given again. Called under the registry's lock: it must not call the registry.
  using IdChooser = std::function<int(int lastId)>;

  // An empty chooser: the host's own, the next id every time.
  explicit CSourceInfo(IdChooser chooser = {});
  CSourceInfo(const CSourceInfo&) = delete;
  CSourceInfo& operator=(const CSourceInfo&) = delete;

  // [any] The current host's registry.
  static CSourceInfo& SourceInfo();

  // [ui] Signs a source in and returns it with its id set, or null when the registry refuses (a
  // null source, or the chooser refused). A source already signed in is returned as it
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

 private:
  void notify(CAsyncSource* source, bool signedIn) EXCLUDES(m_mutex);

  mutable host::Mutex m_mutex;
  std::map<int, CAsyncSource*> m_sources GUARDED_BY(m_mutex);  // signed-in sources by id
  int m_lastId GUARDED_BY(m_mutex) = 0;                        // highest id given
  const IdChooser m_chooser;
  std::map<int, Observer> m_observers GUARDED_BY(m_mutex);  // by number
  int m_lastObserver GUARDED_BY(m_mutex) = 0;
};

}  // namespace SlowSampling
