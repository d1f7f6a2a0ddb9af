#pragma once
// canhost ui without its window: the CAN source module and the CAN sink created from the plug-in,
// a real-time measurement with the frame loop of canhost run on a processing thread of its own,
// and the summary and decoded signals that thread publishes after every frame for the window to
// read.
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/CanSinkHost.h"
#include "app/CanSourceHost.h"
#include "app/SignalMonitor.h"
#include "host/ui/IMainWindowModel.h"

namespace app {

class UiSession : public ui::IMainWindowModel {
 public:
  // Registration name of the sink the window lists beside the source module.
  static constexpr const wchar_t* kSinkName = L"CCanSink";

  UiSession(double samplePeriod, unsigned samplesPerFrame);
  ~UiSession() override;  // stops a measurement still running

  // [ui] Loads the plug-in and creates the modules; false with one line in `error`.
  bool Create(const std::string& pluginPath, std::string& error);

  std::vector<std::string> Modules() const override;
  void ShowSettings(std::size_t index) override;
  bool Start(std::string& error) override;
  void Stop() override;
  ui::MeasurementSnapshot Snapshot() const override;
  ui::SignalSnapshotPtr Signals() const override { return m_signals.Snapshot(); }
  bool Close(std::string& error) override;

 private:
  // [processing] The frame loop until Stop.
  void Measure();
  // [processing] or [ui] while stopped: publishes the module's statistics.
  void Publish(bool running);

  double m_samplePeriod;
  unsigned m_samplesPerFrame;
  CanSourceHost m_host;
  CanSinkHost m_sink;  // declared after m_host: goes before the sources it is bound to
  SignalMonitor m_signals;
  std::thread m_processing;
  bool m_running = false;  // [ui]
  bool m_closed = false;   // [ui]
  mutable std::mutex m_mutex;
  ui::MeasurementSnapshot m_snapshot;  // guarded by m_mutex
};

}  // namespace app
