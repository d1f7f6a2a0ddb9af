#pragma once
// Base of a slow-sampling sink plug-in: the host attaches asynchronous sources to it and hands it
// the sources' data block by block ([processing]); configuration runs on [ui] and never overlaps
// processing. The base keeps, per attached source, the signals the sink offers and one state with
// a value list per offered application signal; after a block the host reads the lists.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

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
  // False for null or a source attached already.
  virtual bool add_src(SlowSampling::CAsyncSource* source);
  // [processing] One block of the data of the source with that id (see CDescriptionInterface).
  virtual void process(const CDescriptionInterface& /*block*/, int /*sourceId*/) {}
  // [ui] Every offered signal of every attached source, in attachment and offer order.
  virtual void get_signals(SlowSampling::CClient& client);
  virtual void read_params() {}
  virtual void write_params() const {}
  // [any] Counters since creation (none by default).
  virtual SlowSampling::SinkStatistics statistics() const { return {}; }

  // [ui] Brings the states in line with the offered signals: a new signal gets a state whose list
  // kind the parameter database gives (a rate per minute: pulse list; else hop list) and whose
  // lastTick is now; a signal no longer offered loses its state.
  void update_container();

  int log_level() const noexcept { return m_logLevel; }
  void set_log_level(int level) { m_logLevel = level; }
  // [any] The attached sources, in attachment order (not owned).
  const std::vector<SlowSampling::CAsyncSource*>& sources() const noexcept { return m_sources; }
  // [any] The entry of a source id, or null (owned by the base).
  const SinkSourceEntry* source_entry(int sourceId) const;
  // [any] The host's parameter database.
  CPqParamInstance& Tables();

 protected:
  CSlowSink* m_sink = nullptr;
  int m_logLevel = 0;
  std::vector<SlowSampling::CAsyncSource*> m_sources;  // attached, in order
  std::map<int, SinkSourceEntry> m_sourceTable;        // by source id
  std::unique_ptr<CPqParamInstance> m_tables;
};
