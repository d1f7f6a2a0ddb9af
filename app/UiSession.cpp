#include "app/UiSession.h"

#include <cstdio>
#include <limits>

#include "app/CanSinkHost.h"
#include "app/FrameLoop.h"
#include "app/HelpText.h"
#include "app/OpenLog.h"
#include "frame/CanPacket.h"
#include "host/cananalysis/CDbcDecoder.h"
#include "host/candriver/CanDriver.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/module/CCommandDispatcher.h"
#include "host/module/HostConstants.h"
#include "host/module/ModuleRegistry.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/ui/CLibMgr.h"

namespace app {

namespace {

// A line of the host log, where the window shows it.
void WriteLog(const std::string& text, int style) {
  PrWin::Output(CString::FromUtf8("canhost ui: " + text + "\n").GetString(), PrWin::kCategoryError,
                style);
}

}  // namespace

UiSession::UiSession(double samplePeriod, unsigned samplesPerFrame)
    : m_samplePeriod(samplePeriod),
      m_samplesPerFrame(samplesPerFrame),
      m_log(std::make_shared<ui::LogModel>()),
      m_signals(samplePeriod, samplesPerFrame) {
  host::AddLogSink(m_log);
}

UiSession::~UiSession() {
  Stop();
  host::RemoveLogSink(m_log);
}

bool UiSession::Create(const std::string& pluginPath, std::string& error) {
  if (!m_host.Create(pluginPath, error)) return false;
  // The sink decodes as in canhost run; a plug-in without one still measures.
  std::string sinkError;
  if (!m_sink.Create(m_host, sinkError)) WriteLog(sinkError, PrWin::kStyleError);
  if (!m_host.Configure(m_samplePeriod, m_samplesPerFrame)) {
    error = "the frame driver refused the sampling";
    return false;
  }
  TakeDbcFiles();
  Publish(false);
  return true;
}

void UiSession::TakeDbcFiles() {
  m_dictionary.Clear();
  for (const auto& row : m_host.Statistics())
    m_dictionary.Take(row.channel, XeCanAnalysis::CDbcDecoder::LoadedFile(
                                       CString(CanSinkHost::DecoderName(row.channel).c_str())));
}

namespace {

// The name a person sees: the plug-in's string for the module, else its registration name.
std::string DisplayName(const wchar_t* module) {
  const UINT id = host::ModuleRegistry::Instance().DisplayNameId(module);
  const CString text = id != 0 ? CLibMgr::LoadStringW(id) : CString();
  return (text.IsEmpty() ? CString(module) : text).ToUtf8();
}

}  // namespace

std::vector<std::string> UiSession::Modules() const {
  std::vector<std::string> names = {DisplayName(CanSourceHost::kModuleName)};
  if (m_sink.Sink() != nullptr) names.push_back(DisplayName(kSinkName));
  return names;
}

void UiSession::ShowSettings(std::size_t index) {
  if (m_closed) return;
  if (index == 0)
    m_host.ShowSettingsDialog();
  else if (index == 1 && m_sink.Sink() != nullptr)
    m_sink.Sink()->ShowSettingsDialog();
}

bool UiSession::ShowChannels() {
  const bool saved = XeCanDriverKvaser::ShowChannelSettings();
  if (saved)
    WriteLog(std::string(XeCanDriverKvaser::detail::DriverConfig::kFileName) +
                 " saved: the channels use it from the next Start",
             PrWin::kStylePlain);
  return saved;
}

bool UiSession::OpenLog(const std::string& log, const std::string& dbc, std::string& message) {
  if (m_running || m_closed) {
    message = m_closed ? "the session is closed" : "stop the measurement first";
    return false;
  }
  std::vector<int> channels;
  for (const auto& row : m_host.Statistics())
    channels.push_back(row.channel);
  LogChannel channel;
  if (!PrepareLogChannel(log, dbc, channels, channel, message)) {
    WriteLog("Open log: " + message, PrWin::kStyleError);
    return false;
  }
  // The new channel is there for the module made below, not only from the next Start.
  XeCanDriverKvaser::ReloadConfigurationIfChanged();
  // What the modules hold goes into the settings first, as when the window closes.
  m_sink.Shutdown();
  std::string error;
  if (!m_host.Shutdown(error)) WriteLog(error, PrWin::kStyleError);
  m_sink.Destroy(m_host);
  if (!StoreLogDecoder(channel, dbc, error)) WriteLog("Open log: " + error, PrWin::kStyleError);
  const std::vector<std::string> off = StoreLogSource(channel);
  if (!m_host.RecreateModule(error)) {
    // Without its module the session can do nothing more; its settings are saved already.
    m_closed = true;
    message = error;
    WriteLog("Open log: " + error, PrWin::kStyleError);
    return false;
  }
  if (!m_sink.Create(m_host, error)) WriteLog(error, PrWin::kStyleError);
  m_host.Configure(m_samplePeriod, m_samplesPerFrame);
  m_signals.Restart();
  Publish(false);
  message = "opened " + log + " on channel " + std::to_string(channel.channel) + " (log replay";
  if (channel.interfaces.size() > 1) message += " of its interfaces merged";
  message += dbc.empty() ? "), no DBC file" : "), decoded with " + dbc + ", every signal shown";
  if (!off.empty()) {
    message += "; switched off:";
    for (const std::string& name : off)
      message += " " + name + (&name == &off.back() ? "" : ",");
  }
  message += ". Start measures it.";
  WriteLog(message, PrWin::kStylePlain);
  return true;
}

std::string UiSession::SettingsFolder() const {
  return host::SettingsFolder().string();
}

std::vector<ui::HelpSection> UiSession::Help() const {
  return HelpSections();
}

std::string UiSession::Version() const {
  return CanhostVersion();
}

bool UiSession::Start(std::string& error) {
  if (m_running) return true;
  if (m_closed) {
    error = "the session is closed";
    return false;
  }
  if (!m_host.HasActiveSource()) {
    error = "no active CAN source in the settings in " + host::SettingsFolder().string() +
            ": nothing to measure";
    WriteLog(error, PrWin::kStyleError);
    return false;
  }
  if (!m_host.OneSourcePerChannel(error)) {
    WriteLog(error, PrWin::kStyleError);
    return false;
  }
  if (XeCanDriverKvaser::ReloadConfigurationIfChanged())
    WriteLog(std::string(XeCanDriverKvaser::detail::DriverConfig::kFileName) +
                 " changed: the channels use the new configuration from this start",
             PrWin::kStyleWarning);
  // The sources may have changed since the last run (the CAN-Bus dialog): the region is sized
  // for them as they are now.
  if (!m_host.Configure(m_samplePeriod, m_samplesPerFrame)) {
    error = "the frame driver refused the sampling";
    WriteLog(error, PrWin::kStyleError);
    return false;
  }
  // The module locks its dialogs against changes while the acquisition runs.
  CCommandDispatcher::Host().Dispatch(mcStartAudioSources);
  if (!m_host.Start()) WriteLog("the module reported a failure at start", PrWin::kStyleError);
  m_running = true;
  m_signals.Restart();
  m_messages.Restart();
  TakeDbcFiles();
  m_charts.Restart(m_dictionary);
  Publish(true);
  char frame[32];
  std::snprintf(frame, sizeof frame, "%.3f", m_samplePeriod * m_samplesPerFrame);
  WriteLog(std::string("measuring in real time, frames of ") + frame + " s", PrWin::kStylePlain);
  // A new token per run: a Stop that comes before the thread has built its loop still ends this
  // run, and no Stop of an earlier run can end it.
  m_stop = std::make_shared<host::StopToken>();
  m_processing = std::thread([this, stop = m_stop] { Measure(*stop); });
  return true;
}

void UiSession::Stop() {
  if (!m_running) return;
  m_stop->request();
  m_processing.join();
  m_stop.reset();
  m_host.Stop();
  CCommandDispatcher::Host().Dispatch(mcStopAudioSources);
  m_running = false;
  Publish(false);
  WriteLog("stopped after " + std::to_string(m_host.Frames()) + " frames", PrWin::kStylePlain);
}

void UiSession::Measure(const host::StopToken& stop) {
  FrameLoop::Plan plan;
  plan.frames = std::numeric_limits<std::uint64_t>::max();
  plan.frameSeconds = m_samplePeriod * m_samplesPerFrame;
  plan.pumpsUi = false;
  FrameLoop loop(m_host, plan, stop);
  std::string error;
  const FrameLoop::End end = loop.Run(
      [this](std::uint64_t frame) {
        TrackMessages(frame);
        if (CSlowSinkPlugin* sink = m_sink.Sink()) m_signals.AddFrame(frame, *sink);
        Publish(true);
      },
      error);
  if (end == FrameLoop::End::Failed) WriteLog(error, PrWin::kStyleError);
}

void UiSession::TrackMessages(std::uint64_t frame) {
  const std::span<const float> region = m_host.Region();
  const unsigned floats = m_host.FloatsPerSample();
  const double frameStart = static_cast<double>(frame) * m_samplePeriod * m_samplesPerFrame;
  m_charts.BeginFrame();
  if (floats != 0) {
    can::PacketScanner scanner(reinterpret_cast<const std::uint8_t*>(region.data()),
                               region.size_bytes(), can::ScanMode::Complete);
    can::PacketRef packet{};
    while (scanner.next(packet)) {
      // The packet's place in the region is its time: whole slow samples of the frame.
      const std::size_t sample = packet.offset / 4 / floats;
      const double time = frameStart + static_cast<double>(sample) * m_samplePeriod;
      m_messages.Add(packet.channel, packet.id, packet.length, packet.data, time);
      m_charts.Add(packet.channel, packet.id, packet.data, packet.length, time);
    }
  }
  const double end = static_cast<double>(frame + 1) * m_samplePeriod * m_samplesPerFrame;
  m_messages.Publish(end);
  m_signals.SetExtraRows(m_charts.Rows(end));
}

void UiSession::Publish(bool running) {
  ui::MeasurementSnapshot s;
  s.running = running;
  s.frames = m_host.Frames();
  s.seconds = static_cast<double>(s.frames) * m_samplePeriod * m_samplesPerFrame;
  for (const auto& row : m_host.Statistics())
    s.rows.push_back({row.channel, CString(row.name).ToUtf8(), row.received, row.delivered, row.old,
                      row.future, row.waiting, row.noRoom, row.overflow, row.note.ToUtf8()});
  host::MutexLock lock(m_mutex);
  m_snapshot = std::move(s);
}

ui::MeasurementSnapshot UiSession::Snapshot() const {
  host::MutexLock lock(m_mutex);
  return m_snapshot;
}

bool UiSession::Close(std::string& error) {
  Stop();
  if (m_closed) return true;
  m_closed = true;
  m_sink.Shutdown();
  return m_host.Shutdown(error);
}

}  // namespace app
