#pragma once
// Base of an asynchronous source plug-in of the slow-sampling framework. The host drives it:
// Create, create(container), read_params, then rounds of signal_change, set_data_offset, start,
// update (one per frame, [processing]) and stop; OnSpecialShutdown; destruction. All but update
// (and the fill it calls) run on [ui]. SlowSampling::CSourceDriver is the host's frame loop.
#include <cstdint>
#include <utility>
#include <vector>

#include "host/module/CSpecialModeClient.h"

class CSlowSourceContainer;

namespace SlowSampling {
// What became of the data of one source of a plug-in since its start; the host shows these in its
// measurement summary. Every item a source received is delivered, dropped, discarded or waiting.
struct SourceStatistics {
  CString name;                 // the source's name
  int channel = -1;             // the source's channel (plug-in specific; -1: none)
  bool active = true;           // whether the source acquires (an inactive one receives nothing)
  std::uint64_t received = 0;   // items the source took in since start
  std::uint64_t delivered = 0;  // items written into the container
  std::uint64_t old = 0;        // items dropped because their time had passed
  std::uint64_t noRoom = 0;     // items in time, dropped because the region near it was full
  std::uint64_t future = 0;     // items discarded because their time was implausibly far ahead
  std::uint64_t waiting = 0;    // items not yet delivered (queued or buffered)
  std::uint64_t overflow = 0;   // items lost because a queue on their way was full
  CString note;  // the plug-in's word on counts that would puzzle a person (a source that records
                 // nothing by design); empty for none
};
}  // namespace SlowSampling

class CSlowAsyncSourcePlugin : public CSpecialModeClient {
  DECLARE_DYNAMIC(CSlowAsyncSourcePlugin)
 public:
  CSlowAsyncSourcePlugin() = default;
  ~CSlowAsyncSourcePlugin() override = default;

  void BuildContextMenu() override {}
  void ProcessContextMenu(UINT /*id*/) override {}
  // [ui] The host asks the plug-in to look its settings up again.
  virtual void Lookup() {}

  // [ui] Remembers the container the plug-in writes into (not owned; outlives the plug-in).
  virtual void create(CSlowSourceContainer* container) { m_container = container; }
  // [ui] Reads / writes the plug-in's settings.
  virtual void read_params() {}
  virtual void write_params() const {}
  // [ui] Data rate the plug-in needs in the container, bytes per second.
  virtual std::uint32_t bytes_per_second() { return 0; }
  // [ui] New sampling: seconds per slow sample, slow samples per frame, floats per slow sample of
  // this plug-in's region (0: the plug-in decides from bytes_per_second).
  virtual void signal_change(float samplePeriod, unsigned samplesPerFrame, int floatsPerSample) {
    m_samplePeriod = samplePeriod;
    m_samplesPerFrame = samplesPerFrame;
    (void)floatsPerSample;
  }
  // [ui] Acquisition starts / stops; false reports a failure (the host goes on).
  virtual bool start() { return true; }
  virtual bool stop() { return true; }
  // [processing] Once per frame: fill the plug-in's region of the container.
  virtual bool update() { return true; }
  // [ui] Start of the plug-in's region in the container, in floats.
  virtual void set_data_offset(int offset) { m_dataOffset = offset; }
  // [ui] How the host describes the region's data to the sinks: (channel coding, sample width).
  virtual std::pair<int, int> data_format() { return {0, 0}; }
  // [ui] Hands the plug-in's log level on to its sources.
  virtual void propagate_log_level() {}
  // [processing] Writes one frame into region (samples per frame x floatsPerSample floats).
  virtual bool fill(float* /*region*/, unsigned /*floatsPerSample*/) { return true; }
  // [ui] Per-source counters since the last start, in the plug-in's source order (none by default).
  virtual std::vector<SlowSampling::SourceStatistics> statistics() const { return {}; }

  // [any] Log level: 0 quiet, 1 summaries, 2 and more per-frame traces.
  int log_level() const noexcept { return m_logLevel; }
  // [ui] Set by the host; propagate_log_level hands it on.
  void set_log_level(int level) { m_logLevel = level; }
  // [any] The container given to create (not owned), or null before.
  CSlowSourceContainer* container() const noexcept { return m_container; }
  // [any] The values the host set, see the fields below.
  float sample_period() const noexcept { return m_samplePeriod; }
  std::uint32_t samples_per_frame() const noexcept { return m_samplesPerFrame; }
  std::uint32_t active_sources() const noexcept { return m_activeSources; }
  std::int32_t data_offset() const noexcept { return m_dataOffset; }

 protected:
  float m_samplePeriod = 0.0F;          // seconds per slow sample, > 0 once signal_change ran
  std::uint32_t m_samplesPerFrame = 0;  // slow samples per frame
  std::uint32_t m_activeSources = 0;    // sources with the active flag set (kept by the plug-in)
  std::int32_t m_dataOffset = 0;        // start of the plug-in's region in the container, floats
  CSlowSourceContainer* m_container = nullptr;  // given to create, not owned
  int m_logLevel = 0;                           // 0 quiet, 1 summaries, 2+ per-frame traces
};
