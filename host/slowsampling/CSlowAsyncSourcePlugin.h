#pragma once
// Base of an asynchronous source plug-in of the slow-sampling framework. The host drives it:
// Create, create(container), read_params, then rounds of signal_change, start, update (one per
// frame, [processing]) and stop; OnSpecialShutdown; destruction. All but update run on [ui].
#include <cstdint>
#include <utility>

#include "host/module/CSpecialModeClient.h"

class CSlowSourceContainer;

class CSlowAsyncSourcePlugin : public CSpecialModeClient {
  DECLARE_DYNAMIC(CSlowAsyncSourcePlugin)
 public:
  CSlowAsyncSourcePlugin() = default;
  ~CSlowAsyncSourcePlugin() override = default;

  void BuildContextMenu() override {}
  void ProcessContextMenu(UINT /*id*/) override {}
  virtual void Lookup() {}

  // [ui] Remembers the container the module writes into (not owned).
  virtual void create(CSlowSourceContainer* container) { m_container = container; }
  virtual void read_params() {}
  virtual void write_params() const {}
  // [ui] Data rate the module needs in the container.
  virtual std::uint32_t bytes_per_second() { return 0; }
  virtual void signal_change(float samplePeriod, unsigned samplesPerFrame, int floatsPerSample) {
    m_samplePeriod = samplePeriod;
    m_samplesPerFrame = samplesPerFrame;
    (void)floatsPerSample;
  }
  virtual bool start() { return true; }
  virtual bool stop() { return true; }
  // [processing] Once per frame.
  virtual bool update() { return true; }
  virtual void set_data_offset(int offset) { m_dataOffset = offset; }
  virtual std::pair<int, int> data_format() { return {0, 0}; }
  virtual void propagate_log_level() {}
  virtual bool fill(float* /*region*/, unsigned /*floatsPerSample*/) { return true; }

  int log_level() const noexcept { return m_logLevel; }
  void set_log_level(int level) { m_logLevel = level; }
  CSlowSourceContainer* container() const noexcept { return m_container; }

 protected:
  float m_samplePeriod = 0.0F;          // seconds per slow sample
  std::uint32_t m_samplesPerFrame = 0;  // slow samples per frame
  std::uint32_t m_activeSources = 0;    // sources with the active flag set
  int m_dataOffset = 0;                 // start of the module's region in the container, floats
  CSlowSourceContainer* m_container = nullptr;
  int m_logLevel = 0;  // 0 quiet, 1 summaries, 2+ per-frame traces
};
