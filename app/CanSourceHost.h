#pragma once
// The host side of one CAN source module, as canhost run plays the host: it loads the plug-in,
// creates "CCanSourceModule" by name and drives it in the host's order: Create, create with the
// container (through the frame driver), read_params, signal_change (configure), start, update
// once per frame, stop, write_params, OnSpecialShutdown; then the seas are saved.
//
// Threads: canhost runs the host's [ui] and [processing] work on its one main thread.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/module/CModule.h"
#include "host/module/PluginLoader.h"
#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/slowsampling/CSourceDriver.h"

namespace app {

class CanSourceHost {
 public:
  // Registration name of the module canhost drives.
  static constexpr const wchar_t* kModuleName = L"CCanSourceModule";

  CanSourceHost() = default;
  ~CanSourceHost();  // destroys the module (and with it its sources) before the loader goes
  CanSourceHost(const CanSourceHost&) = delete;
  CanSourceHost& operator=(const CanSourceHost&) = delete;

  // [ui] Whether the seas of the settings folder load. A sea whose file is refused would start
  // empty and never be saved, so canhost does not run on it. False with one line in `error`.
  static bool SettingsLoad(std::string& error);
  // [ui] Loads the plug-in (empty path: the default) and creates the module up to read_params.
  // False with one line in `error`.
  bool Create(const std::string& pluginPath, std::string& error);
  // [ui] The module anew from the settings, as at start-up: the old one (write_params and
  // OnSpecialShutdown were its host's, before) is destroyed with its sources and dialogs, a new
  // one created up to read_params. Sinks attached to it must go first. False with one line in
  // `error`.
  bool RecreateModule(std::string& error);
  // [ui] Stops handing the frames' data to `sink` (before the sink goes).
  void DetachSink(const CSlowSinkPlugin* sink) { m_driver.detach_sink(sink); }
  // [ui] New sampling (signal_change and the module's region, sized for what the active sources'
  // channels can carry, RegionSizing.h). False for values the frame driver refuses.
  bool Configure(double samplePeriod, unsigned samplesPerFrame);
  // [ui] start of the module, then the frame time line starts. False when the module reports a
  // failure (it runs on, as in the host).
  bool Start();
  // [processing] One frame: the module's update.
  bool RunFrame();
  // [processing] Counts `frames` frames in which nothing happens without running them: the frame
  // time moves on, the module is not called.
  void SkipFrames(std::uint64_t frames) { m_driver.skip_frames(frames); }
  // [ui] stop of the module.
  bool Stop();
  // [ui] write_params, OnSpecialShutdown, then every changed sea is saved. False with one line in
  // `error` when the settings could not be saved (the reasons are in the log).
  bool Shutdown(std::string& error);

  // [ui] The module's settings dialog ("CAN-Bus").
  void ShowSettingsDialog() { m_module->ShowSettingsDialog(); }
  // [ui] What became of each source's messages since start (rows in the module's source order).
  std::vector<SlowSampling::SourceStatistics> Statistics() const;
  // [ui] Whether the module has a source with the active flag set.
  bool HasActiveSource() const;
  // [ui] Whether a source of the module uses `channel`.
  bool HasSourceOn(int channel) const;
  // [ui] Whether every channel has at most one active source: two on one channel would each
  // count the channel's messages, and the rows of the summary would not add up. False with one
  // line in `error` naming the channel and both sources.
  bool OneSourcePerChannel(std::string& error) const;
  // [ui] The active sources whose channel did not open (not configured in the driver, its
  // interface missing), one line each: they would receive nothing.
  std::vector<std::string> ClosedChannels() const;
  // [processing] The module's region of the last frame (owned by the container).
  std::span<const float> Region() const { return m_driver.region(m_plugin); }
  // [any] Floats per slow sample of the module's region.
  unsigned FloatsPerSample() const { return m_driver.floats_per_sample(m_plugin); }
  // [ui] Hands every frame's data of the module's sources to `sink` (not owned; outlives the
  // frames) after the module's update.
  void AttachSink(CSlowSinkPlugin* sink) { m_driver.attach_sink(sink); }
  // [any] The source module (owned by this host), null before Create.
  const CSlowAsyncSourcePlugin* Plugin() const noexcept { return m_plugin; }
  // [any] Frames run since Start.
  std::uint64_t Frames() const noexcept { return m_driver.frames(); }

 private:
  bool CreateModule(const std::string& library, std::string& error);

  host::PluginLoader m_loader;
  std::string m_library;  // the plug-in's path, for messages
  SlowSampling::CSourceDriver m_driver;
  std::unique_ptr<CModule> m_module;           // declared after the driver: destroyed first
  CSlowAsyncSourcePlugin* m_plugin = nullptr;  // m_module as a source plug-in
};

}  // namespace app
