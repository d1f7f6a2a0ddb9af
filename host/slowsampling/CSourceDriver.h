#pragma once
// The host's frame loop for asynchronous source plug-ins: owns the container, lays out the
// plug-ins' regions, and runs start, one update per frame and stop. While the host keeps sync it
// also moves the frame time capsule on after every frame (CQorSyncInterface), so that during a
// frame's update the frame capsule's time is the start of that frame.
//
// The caller decides when a frame is due (the real-time runner waits for the host clock to pass
// the end of the frame; tests step a ManualClock by one frame before run_frame).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/slowsampling/CSlowSourceContainer.h"

namespace SlowSampling {

class CSourceDriver {
 public:
  CSourceDriver() = default;
  CSourceDriver(const CSourceDriver&) = delete;
  CSourceDriver& operator=(const CSourceDriver&) = delete;

  // [ui] Adds a plug-in (not owned; outlives the driver's use of it) and gives it the container
  // (its create(container)).
  void attach(CSlowAsyncSourcePlugin* plugin);
  // [ui] Adds a sink (not owned; outlives the driver's use of it). After the plug-ins' updates,
  // every frame hands each attached source's data to each sink, in attachment order.
  void attach_sink(CSlowSinkPlugin* sink);
  // [ui] Takes a plug-in or a sink out again (before the host destroys it; no frame runs).
  void detach(const CSlowAsyncSourcePlugin* plugin);
  void detach_sink(const CSlowSinkPlugin* sink);
  // [ui] The floats per slow sample the host gives the plug-in at the next configure, in place of
  // those its bytes_per_second asks for (0: back to bytes_per_second).
  void choose_floats_per_sample(const CSlowAsyncSourcePlugin* plugin, unsigned floats);
  // [ui] New sampling. For every plug-in in attachment order: floats per sample (chosen by the
  // host, else from its bytes_per_second), signal_change, set_data_offset (regions follow each
  // other), then propagate_log_level. False (and nothing changed) unless both values are positive.
  bool configure(float samplePeriod, unsigned samplesPerFrame);
  // [ui] Every sink's processing begins (CSlowSinkPlugin::begin_processing), start() of every
  // plug-in (the AND of the results), then the frame time line starts.
  bool start();
  // [processing] One frame: the container is zeroed, update() of every plug-in (the AND), then
  // every sink adopts its staged configuration and gets process(block, source id) for each of its
  // sources, then the frame capsule moves on by one frame while sync is on.
  bool run_frame();
  // [processing] Frames in which nothing happens: the frame capsule moves on as after `frames`
  // run_frame calls, the plug-ins are not called. The caller makes sure their clocks are read
  // often enough (a 24-bit channel capsule must not miss a wrap).
  void skip_frames(std::uint64_t frames);
  // [ui] stop() of every plug-in (the AND), then every sink's processing ends (after the last
  // frame: the processing thread has ended).
  bool stop();

  // [any] The plug-in's region (owned by the container), empty for an unknown plug-in.
  std::span<const float> region(const CSlowAsyncSourcePlugin* plugin) const;
  // [any] Floats per sample given to the plug-in by the last configure (0 for an unknown one).
  unsigned floats_per_sample(const CSlowAsyncSourcePlugin* plugin) const;
  // [any] Ticks of 125 µs per frame, from the last configure.
  double ticks_per_frame() const noexcept { return m_ticksPerFrame; }
  // [any] Frames run since start.
  std::uint64_t frames() const noexcept { return m_frames; }
  // [any] The container (owned by the driver).
  CSlowSourceContainer& container() noexcept { return m_container; }

  // [any] Floats per slow sample a data rate needs: ceil(bytesPerSecond x samplePeriod / 4),
  // computed in single precision. 62500 B/s at 0.001 s -> 16; 0 -> 0; 1 at 0.001 -> 1.
  static unsigned FloatsPerSample(std::uint32_t bytesPerSecond, float samplePeriod) noexcept;

 private:
  struct Entry {
    CSlowAsyncSourcePlugin* plugin;  // not owned
    int offset = 0;                  // region start, floats
    unsigned floatsPerSample = 0;    // region width per slow sample, floats
    int coding = 0;                  // channel coding of the region's data (data_format)
    unsigned chosen = 0;             // floats per sample chosen by the host, 0: none
  };
  const Entry* find(const CSlowAsyncSourcePlugin* plugin) const noexcept;
  void feed_sinks();

  CSlowSourceContainer m_container;
  std::vector<Entry> m_entries;           // in attachment order
  std::vector<CSlowSinkPlugin*> m_sinks;  // not owned, in attachment order
  double m_samplePeriod = 0.0;            // seconds per slow sample, as written
  unsigned m_samplesPerFrame = 0;
  double m_ticksPerFrame = 0.0;
  std::uint64_t m_frames = 0;
};

}  // namespace SlowSampling
