#pragma once
// Base of a slow-sampling sink plug-in: the host attaches asynchronous sources to it and hands it
// the sources' data block by block ([processing]); configuration runs on [ui]. The base keeps, per
// attached source, the signals the sink offers and one state with a value list per offered
// application signal; after a block the host reads the lists.
//
// Configuration never overlaps processing. While the host feeds blocks (begin_processing ..
// end_processing) the processing thread owns what process reads: the states, and whatever a sink
// stages. A [ui] change to it is built aside and staged; the host has the processing thread adopt
// it before its next round of blocks (adopt_staged), as the DBC decoder swaps in its tables.
// Outside a measurement the change applies at once. Attaching and detaching sources is refused by
// an assertion while blocks are fed: the host binds sources only between measurements.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "host/mfc/ThreadSafety.h"
#include "host/module/CSpecialModeClient.h"
#include "host/slowsampling/CClient.h"
#include "host/slowsampling/SinkSourceEntry.h"
#include "host/valuelists/CDescriptionInterface.h"

class CSlowSink;
class CPqParamInstance;
namespace SlowSampling {
class CAsyncSource;
// What became of the items a sink was given since its creation; the host shows these in its
// summary so that nothing is lost silently.
struct SinkStatistics {
  std::uint64_t decoded = 0;  // items decoded
  // Values that came in a frame which had a value of their signal already: recorded with the
  // others (SinkSignalState::values), left out of the value list, which holds one per frame.
  std::uint64_t sharedFrame = 0;
};
}  // namespace SlowSampling

class CSlowSinkPlugin : public CSpecialModeClient {
  DECLARE_DYNAMIC(CSlowSinkPlugin)
 public:
  CSlowSinkPlugin();
  ~CSlowSinkPlugin() override;

  void BuildContextMenu() override {}
  void ProcessContextMenu(UINT /*id*/) override {}

  // [ui] The host's sink object (not owned).
  virtual void create(CSlowSink* sink) { m_sink = sink; }
  // [ui] Whether the sink takes that source.
  virtual bool accepts_src(SlowSampling::CAsyncSource* /*source*/) { return false; }
  // [ui] Attaches a source (not owned; signed in, outlives its attachment) and gives it an entry.
  // False for null or a source attached already. Not while blocks are fed.
  virtual bool add_src(SlowSampling::CAsyncSource* source);
  // [ui] Detaches a source (its module releases it) and drops its entry; false when it was not
  // attached. Not while blocks are fed.
  virtual bool remove_src(SlowSampling::CAsyncSource* source);
  // [processing] One block of the data of the source with that id (see CDescriptionInterface).
  virtual void process(const CDescriptionInterface& /*block*/, int /*sourceId*/) {}
  // [ui] Every offered signal of every attached source, in attachment and offer order.
  virtual void get_signals(SlowSampling::CClient& client);
  virtual void read_params() {}
  virtual void write_params() const {}
  // [ui] The host bound (add_src) or unbound sources after the sink read its parameters, between
  // measurements (a module's sources changed): the sink brings its channels and offered signals
  // in line with its settings.
  virtual void sources_changed() {}
  // [any] Counters since creation (none by default).
  virtual SlowSampling::SinkStatistics statistics() const { return {}; }

  // [ui] Brings the states in line with the offered signals: a new signal gets a state whose list
  // kind the parameter database gives (a rate per minute: pulse list; else hop list) and whose
  // lastTick is now; a signal no longer offered loses its state. Staged while blocks are fed.
  void update_container();

  // [ui] The host feeds blocks from now on (before the first frame) / no more (after the last
  // frame, the processing thread has ended): what was staged meanwhile applies now.
  void begin_processing() noexcept { m_processing.store(true); }
  void end_processing();
  // [processing] The host calls it before each frame's blocks: the staged changes apply. It never
  // waits for the UI: while the UI is staging, they wait for the next frame.
  void adopt_staged();
  // [any] Whether the host feeds blocks.
  bool processing() const noexcept { return m_processing.load(); }

  int log_level() const noexcept { return m_logLevel; }
  void set_log_level(int level) { m_logLevel = level; }
  // [any] The attached sources, in attachment order (not owned).
  const std::vector<SlowSampling::CAsyncSource*>& sources() const noexcept { return m_sources; }
  // [any] The entry of a source id, or null (owned by the base).
  const SinkSourceEntry* source_entry(int sourceId) const;
  // [any] The host's parameter database.
  CPqParamInstance& Tables();

 protected:
  // [ui] A change to what the processing thread reads: `apply` runs on that thread before its next
  // block, or here and now while no blocks are fed. `keep` holds what the processing thread may use
  // until then (a replaced decoder); it is released on [ui] after `apply` ran. `apply` must own
  // what it needs (capture by value): the UI goes on changing its own copy meanwhile.
  void stage(std::function<void()> apply, std::shared_ptr<void> keep = {});
  // [ui] Debug builds stop here when blocks are fed: the caller writes what process reads.
  void assert_configurable() const;

  CSlowSink* m_sink = nullptr;
  std::atomic<int> m_logLevel{0};
  // Attached, in order. Read by the processing thread; changed only while no blocks are fed.
  std::vector<SlowSampling::CAsyncSource*> m_sources;
  // By source id. Entries are added and removed only while no blocks are fed; each entry's signals
  // are [ui]'s, its states the processing thread's while blocks are fed.
  std::map<int, SinkSourceEntry> m_sourceTable;
  std::unique_ptr<CPqParamInstance> m_tables;

 private:
  struct Staged {
    std::function<void()> apply;
    std::shared_ptr<void> keep;
  };
  // One signal an entry's states should have, and whether its list is a pulse list.
  struct Wanted {
    int number;
    bool rate;
  };
  using StatePlan = std::vector<std::pair<int, std::vector<Wanted>>>;  // by source id
  void apply_states(const StatePlan& plan, std::uint32_t now);
  // [ui] Releases what the processing thread is done with.
  void release_adopted();

  std::atomic<bool> m_processing{false};
  std::atomic<bool> m_pending{false};  // something is staged
  host::Mutex m_stageLock;             // held for moving the lists below only
  std::vector<Staged> m_staged GUARDED_BY(m_stageLock);
  std::vector<std::shared_ptr<void>> m_adopted GUARDED_BY(m_stageLock);  // released by [ui]
  std::vector<std::shared_ptr<void>> m_adoptedHere;  // [processing] waiting for the lock
};
