#pragma once
// canhost ui without its window: the CAN source module and the CAN sink created from the plug-in,
// a real-time measurement with the frame loop of canhost run on a processing thread of its own,
// the summary and decoded signals that thread publishes after every frame for the window to read,
// and the host log's errors and warnings for the window's log pane.
#include <memory>
#include <string>
#include <thread>

#include "app/CanSinkHost.h"
#include "app/CanSourceHost.h"
#include "app/ChartedDbcSignals.h"
#include "app/MessageDictionary.h"
#include "app/SignalMonitor.h"
#include "host/mfc/ThreadSafety.h"
#include "host/services/StopToken.h"
#include "host/ui/IMainWindowModel.h"
#include "host/ui/LogModel.h"
#include "host/ui/MessageTracker.h"

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
  // The host's window of candriver.conf; what it saves counts from the next Start.
  bool ShowChannels() override;
  // The log plays on a channel of its own (OpenLog.h): the modules write their settings, are made
  // anew from the settings with the log's channel, source and decoder, as a restart would read
  // them, and the log pane says what was done. Refused while a measurement runs.
  bool OpenLog(const std::string& log, const std::string& dbc, std::string& message) override;
  std::string SettingsFolder() const override;
  std::vector<ui::HelpSection> Help() const override;
  std::string Version() const override;
  // Refused (false, with the reason also in the log) when no source is active: nothing to measure.
  // The driver configuration is read again when its file changed, and the module's region sized
  // again for the sources as they are now, so changes made since the last run count.
  bool Start(std::string& error) override;
  // Asks the run's stop token and waits for the processing thread: the loop, woken from its wait
  // for the frame's end, stops before the next frame, however early in the run Stop comes.
  void Stop() override;
  ui::MeasurementSnapshot Snapshot() const override;
  ui::SignalSnapshotPtr Signals() const override { return m_signals.Snapshot(); }
  ui::MessageSnapshotPtr Messages() const override { return m_messages.Snapshot(); }
  // The names and signals of the DBC files the sink's decoders had loaded at the last Start (or
  // at Create).
  std::string MessageName(int channel, std::uint32_t id) const override {
    return m_dictionary.Name(channel, id);
  }
  std::vector<ui::DecodedSignal> DecodeMessage(int channel, std::uint32_t id,
                                               const std::uint8_t* data,
                                               int length) const override {
    return m_dictionary.Decode(channel, id, data, length);
  }
  // Charted from the next frame on, as a signal of its own in the signal view.
  bool ChartSignal(int channel, std::uint32_t id, const std::string& name, bool on) override {
    return m_charts.Chart(m_dictionary, channel, id, name, on);
  }
  bool Charted(int channel, std::uint32_t id, const std::string& name) const override {
    return m_charts.Charted(channel, id, name);
  }
  // The host log's errors and warnings from the session's construction on.
  std::shared_ptr<ui::LogModel> Log() const override { return m_log; }
  bool Close(std::string& error) override;

 private:
  // [processing] The frame loop until `stop` is asked.
  void Measure(const host::StopToken& stop);
  // [processing] or [ui] while stopped: publishes the module's statistics.
  void Publish(bool running);
  // [processing] Hands the messages of frame `frame` to the message list.
  void TrackMessages(std::uint64_t frame);
  // [ui] Takes the DBC files of the sink's decoders for the channels of the sources.
  void TakeDbcFiles();

  double m_samplePeriod;
  unsigned m_samplesPerFrame;
  std::shared_ptr<ui::LogModel> m_log;  // a sink of the host log while the session lives
  CanSourceHost m_host;
  CanSinkHost m_sink;  // declared after m_host: goes before the sources it is bound to
  SignalMonitor m_signals;
  ui::MessageTracker m_messages;
  MessageDictionary m_dictionary;  // [ui]
  ChartedDbcSignals m_charts;
  std::thread m_processing;
  std::shared_ptr<host::StopToken> m_stop;  // [ui] the run's, shared with its thread; null: none
  bool m_running = false;                   // [ui]
  bool m_closed = false;                    // [ui]
  mutable host::Mutex m_mutex;
  ui::MeasurementSnapshot m_snapshot GUARDED_BY(m_mutex);
};

}  // namespace app
