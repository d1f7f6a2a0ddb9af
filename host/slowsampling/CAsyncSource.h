#pragma once
// Base of the sources of an asynchronous source plug-in. The plug-in creates and owns its sources
// (deleting them through the virtual destructor) and signs them in with the host's source registry
// (CSourceInfo), which gives each its id; sinks find the sources there.
#include <atomic>
#include <cstdint>

#include "host/mfc/CString.h"

class CSlowAsyncSourcePlugin;

namespace SlowSampling {

class CAsyncSource {
 public:
  // [ui] plugin: the owning plug-in (not owned); name: shown to the user and used by the source
  // to name its settings.
  CAsyncSource(CSlowAsyncSourcePlugin* plugin, const CString& name);
  // [ui] Releases the source from the registry if it is still signed in under its id.
  virtual ~CAsyncSource();
  CAsyncSource(const CAsyncSource&) = delete;
  CAsyncSource& operator=(const CAsyncSource&) = delete;

  // [any] The id given at sign-in, >= 1; 0 before the first sign-in. Kept after release.
  int id() const noexcept { return m_id; }
  // [any] The owning plug-in (not owned).
  CSlowAsyncSourcePlugin* plugin() const noexcept { return m_plugin; }

  // [ui] The source's name.
  const CString& name() const noexcept { return m_name; }
  // [ui] Renames the source.
  void name(const CString& name) { m_name = name; }

  // [any] 0 quiet, 1 summaries, 2 and more per-frame or per-message traces.
  int log_level() const noexcept { return m_logLevel.load(std::memory_order_relaxed); }
  // [ui] Set by the plug-in (from its own log level).
  void set_log_level(int level) noexcept { m_logLevel.store(level, std::memory_order_relaxed); }

  // [any] Whether the source takes part in acquisition (read by reception threads).
  bool active() const noexcept { return m_active.load(std::memory_order_relaxed); }
  // [ui] Set by the plug-in from the source's settings.
  void set_active(bool active) noexcept { m_active.store(active, std::memory_order_relaxed); }

  // [any] Start of the plug-in's region in the container, in floats.
  int data_offset() const noexcept { return m_dataOffset; }
  // [ui] Set by the plug-in when the host lays out the container.
  void set_data_offset(int offset) noexcept { m_dataOffset = offset; }

  // [any] Width of one slow sample of the plug-in's region, in floats.
  unsigned floats_per_sample() const noexcept { return m_floatsPerSample; }
  // [ui] Set by the plug-in on every signal change.
  void set_floats_per_sample(unsigned floats) noexcept { m_floatsPerSample = floats; }

 private:
  friend class CSourceInfo;

  CSlowAsyncSourcePlugin* m_plugin;   // owning plug-in, not owned
  CString m_name;                     // user-visible name
  int m_id = 0;                       // registry id, >= 1 once signed in; 0 before
  std::atomic<int> m_logLevel{0};     // 0 quiet .. 2+ traces
  std::atomic<bool> m_active{false};  // takes part in acquisition
  int m_dataOffset = 0;               // floats from the container's start
  unsigned m_floatsPerSample = 0;     // floats per slow sample
};

}  // namespace SlowSampling
