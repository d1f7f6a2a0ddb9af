// canhost run: a measurement with the CAN source module, as the host application runs one.
#include <cstdio>
#include <optional>

#include "app/CanSinkHost.h"
#include "app/CanSourceHost.h"
#include "app/CaptureWriter.h"
#include "app/CmdPlot.h"
#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/NextSteps.h"
#include "app/ProgressBar.h"
#include "app/ReplayLog.h"
#include "app/RunFiles.h"
#include "app/RunOptions.h"
#include "app/RunSummary.h"
#include "app/SettingsLock.h"
#include "app/SettingsSeed.h"
#include "app/SignalRecorder.h"
#include "app/StopSignals.h"
#include "host/cananalysis/CDbcDecoder.h"
#include "host/candriver/CanDriver.h"
#include "host/services/HostClock.h"
#include "host/services/StopToken.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"

namespace app {
namespace {

// Start of the manual clock of --fast: one second, so that the USB time does not read 0 as that
// of a host whose USB time never ran.
constexpr std::int64_t kFastClockStartNs = 1'000'000'000;
// The host log's categories canhost shows on stderr: errors and warnings.
constexpr unsigned kShownLogCategories = 1u << PrWin::kCategoryError;

int Fail(const std::string& message) {
  std::fprintf(stderr, "canhost run: %s\n", message.c_str());
  return kExitError;
}

// Keeps a log sink installed while it lives.
class ScopedLogSink {
 public:
  explicit ScopedLogSink(std::shared_ptr<host::LogSink> sink) : m_sink(std::move(sink)) {
    host::AddLogSink(m_sink);
  }
  ~ScopedLogSink() { host::RemoveLogSink(m_sink); }
  ScopedLogSink(const ScopedLogSink&) = delete;
  ScopedLogSink& operator=(const ScopedLogSink&) = delete;

 private:
  std::shared_ptr<host::LogSink> m_sink;
};

std::uint64_t Delivered(const CanSourceHost& host) {
  std::uint64_t delivered = 0;
  for (const auto& row : host.Statistics())
    delivered += row.delivered;
  return delivered;
}

// Long silences of a replayed log: real time waits through them, which looks like a hang.
void WarnOfGaps(const RunOptions& options, const ReplayLog& replay, ProgressBar& progress) {
  constexpr std::size_t kShown = 3;
  for (std::size_t i = 0; i < replay.gaps.size() && i < kShown; ++i) {
    const ReplayLog::Gap& gap = replay.gaps[i];
    char text[96];
    std::snprintf(text, sizeof text, ": the log is silent for %.3f s before this %s",
                  gap.to - gap.from, gap.object ? "object" : "line");
    progress.PrintLine("canhost run: warning: " + options.replay.string() +
                       (gap.object ? ": object " : ":") + std::to_string(gap.line) + text +
                       (options.fast ? " (--fast crosses it at once)" : ""));
  }
  if (replay.gaps.size() > kShown)
    progress.PrintLine("canhost run: warning: " + options.replay.string() + ": " +
                       std::to_string(replay.gaps.size() - kShown) + " more silences of " +
                       std::to_string(static_cast<int>(ReplayLog::kGapSeconds)) + " s or longer");
}

// Locks the settings folder, seeds it when new and loads the seas; the result of the seeding, or
// Failed.
SettingsSeed::Result LoadSettings(const RunOptions& options, const std::string& command,
                                  SettingsLock& lock, std::string& error) {
  if (!options.settings.empty()) host::SetSettingsFolder(options.settings);
  if (!lock.Acquire(host::SettingsFolder(), command, error)) return SettingsSeed::Result::Failed;
  const SettingsSeed::Result seeded = SettingsSeed::Seed(host::SettingsFolder(), error);
  if (seeded == SettingsSeed::Result::Failed || !CanSourceHost::SettingsLoad(error))
    return SettingsSeed::Result::Failed;
  return seeded;
}

// Loads the plug-in and builds the module and the sink from the settings, the replay and the DBC
// files of the command line.
bool CreateHosts(const RunOptions& options, const ReplayLog& replay, CanSourceHost& host,
                 CanSinkHost& sink, std::string& error) {
  const std::string folder = host::SettingsFolder().string();
  if (!options.replay.empty()) {
    std::error_code ec;
    XeCanDriverKvaser::ReplayOnChannel(options.channel,
                                       std::filesystem::absolute(options.replay, ec), replay.spool);
  }
  if (!host.Create(options.plugin, error)) return false;
  if (!host.HasActiveSource()) {
    error = "no active CAN source in the settings in " + folder + ": nothing to measure";
    return false;
  }
  if (!host.OneSourcePerChannel(error)) return false;
  if (!options.replay.empty() && !host.HasSourceOn(options.channel)) {
    error = "--channel " + std::to_string(options.channel) + ": no CAN source of the settings in " +
            folder + " uses that channel";
    return false;
  }
  for (const auto& [channel, file] : options.dbc)
    if (!CanSinkHost::StoreDbcFile(channel, file.string(), error)) return false;
  XeCanAnalysis::CDbcDecoder::AssignUnassigned(options.allSignals);
  if (!sink.Create(host, error)) return false;
  if (!host.Configure(options.samplePeriod, options.samplesPerFrame)) {
    error = "the frame driver refused the sampling";
    return false;
  }
  return true;
}

FrameLoop::Plan MakePlan(const RunOptions& options, const ReplayLog& replay,
                         host::ManualClock* fastClock) {
  FrameLoop::Plan plan;
  plan.frames = options.Frames();
  plan.replayChannel = options.replay.empty() ? -1 : options.channel;
  plan.replaySeconds = replay.seconds;
  plan.frameSeconds = options.FrameSeconds();
  plan.fastClock = fastClock;
  return plan;
}

// The requests of the settings and the command line that the run cannot meet: a channel that did
// not open, a decoder whose DBC file did not load. One line each.
std::vector<std::string> UnmetRequests(const CanSourceHost& host) {
  std::vector<std::string> unmet = host.ClosedChannels();
  for (const auto& [decoder, problem] : XeCanAnalysis::CDbcDecoder::LoadProblems()) {
    std::string channel;
    for (int ch = 0; ch < 256 && channel.empty(); ++ch)
      if (CanSinkHost::DecoderName(ch) == decoder.str()) channel = std::to_string(ch);
    std::string line =
        channel.empty() ? "decoder '" + decoder.ToUtf8() + "'" : "channel " + channel;
    line += ": the DBC file does not load as asked: ";
    line += problem;
    unmet.push_back(std::move(line));
  }
  return unmet;
}

// Runs the frames, each written to the files as it ends, with the progress bar drawn. An output
// that fails (a full disk, a reader gone) stops the run.
FrameLoop::End RunFrames(FrameLoop& loop, const FrameLoop::Plan& plan, double totalSeconds,
                         const RunOptions& options, CanSourceHost& host, CanSinkHost& sink,
                         RunFiles& files, ProgressBar& progress, host::StopToken& stop,
                         std::string& error) {
  return loop.Run(
      [&](std::uint64_t frame) {
        files.capture.AddFrame(frame, host.Region(), host.FloatsPerSample());
        files.signals.AddFrame(frame, *sink.Sink());
        if (!files.good(options)) stop.request();
        if (progress.Due()) {
          const double done = static_cast<double>(frame + 1) * plan.frameSeconds;
          progress.Draw(totalSeconds > 0.0 ? done / totalSeconds : 1.0, done, totalSeconds,
                        Delivered(host));
        }
      },
      error);
}

// Closes the files and shuts the hosts down, each failure reported; false after any.
bool Finish(const RunOptions& options, RunFiles& files, CanSourceHost& host, CanSinkHost& sink) {
  bool ok = true;
  std::string error;
  if (!files.Close(options, error)) {
    Fail(error);
    ok = false;
  }
  sink.Shutdown();
  if (!host.Shutdown(error)) {
    Fail(error);
    ok = false;
  }
  return ok;
}

void PrintSummary(std::FILE* out, const RunSummary& summary,
                  const std::vector<SlowSampling::SourceStatistics>& rows, const RunFiles& files,
                  CanSinkHost& sink) {
  std::fputs(summary.Format(rows).c_str(), out);
  std::fputs(RunSummary::FormatSignals(files.signals.Signals(), sink.Sink()->statistics()).c_str(),
             out);
  std::fflush(out);
}

void PrintNextSteps(std::FILE* out, const RunOptions& options) {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  std::fputs(NextSteps(ProgramName(), options, host::SettingsFolder(), exe, cwd).c_str(), out);
  std::fflush(out);
}

// Measures once the hosts are created and the outputs open: the frames, then the summary; returns
// the exit status.
int MeasureFrames(const RunOptions& options, const StopSignals& signals, host::StopToken& stop,
                  std::optional<host::ScopedManualClock>& fastClock, RunFiles& files,
                  CanSourceHost& host, CanSinkHost& sink, ProgressBar& progress,
                  std::FILE* report) {
  std::string error;
  const std::vector<std::string> unmet = UnmetRequests(host);
  // The outputs are emptied only for a measurement that runs: a stop asked for while the run was
  // set up leaves them as they were.
  if (signals.Received() == 0 && !files.Begin(error)) return Fail(error);
  const FrameLoop::Plan plan =
      MakePlan(options, files.replay, fastClock ? &fastClock->clock() : nullptr);
  const double totalSeconds = plan.frames != 0
                                  ? static_cast<double>(plan.frames) * plan.frameSeconds
                                  : files.replay.seconds;
  FrameLoop loop(host, plan, stop);
  if (!options.quiet)
    std::fprintf(report, "canhost run: measuring%s, frames of %.3f s; Ctrl-C stops\n",
                 options.fast ? " as fast as the data allows" : " in real time", plan.frameSeconds);
  std::fflush(report);

  host::SteadyClock wall;
  if (!host.Start())
    progress.PrintLine("canhost run: warning: the module reported a failure at start");
  const FrameLoop::End end =
      RunFrames(loop, plan, totalSeconds, options, host, sink, files, progress, stop, error);
  host.Stop();
  RunSummary summary;
  summary.wallSeconds = static_cast<double>(wall.now_ns()) / 1e9;
  const auto rows = host.Statistics();
  progress.Finish();

  bool ok = end != FrameLoop::End::Failed;
  if (!ok) Fail(error);
  if (loop.replayOverdue())
    progress.PrintLine("canhost run: warning: the replay on channel " +
                       std::to_string(options.channel) +
                       " did not end with its log; is that channel's source active?");
  const bool outputFailed = !files.good(options);
  ok = Finish(options, files, host, sink) && ok;
  summary.frames = host.Frames();
  summary.frameSeconds = plan.frameSeconds;
  summary.fast = options.fast;
  if (end == FrameLoop::End::Interrupted)
    summary.stoppedBy = signals.Received() != 0 ? StopSignals::Name(signals.Received())
                                                : (outputFailed ? "a failed output" : "a request");
  PrintSummary(report, summary, rows, files, sink);
  for (const std::string& line : unmet)
    Fail(line);
  ok = ok && unmet.empty();
  if (ok && signals.Received() == 0 && ShowsNextSteps(options)) PrintNextSteps(report, options);
  return signals.ExitStatus(ok ? kExitOk : kExitError);
}

int Measure(const Command& self, const RunOptions& options, const std::string& command) {
  // The run's stop token, and the clock (every time the host reads from here on comes from it):
  // both outlive the thread of the signals, which asks the one and wakes the other.
  host::StopToken stop;
  std::optional<host::ScopedManualClock> fastClock;
  if (options.fast) fastClock.emplace(kFastClockStartNs);
  // The signals before any thread starts: they must be blocked in all of them. A stop signal ends
  // a wait for a FIFO's reader, or the frame loop before its next frame.
  const StopSignals signals([&stop](int) { stop.request(); });
  std::string error;
  RunFiles files(options);
  switch (files.Open(
      options, error, [&stop] { return stop.requested(); },
      [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); })) {
    case RunFiles::Opened::Usage:
      return UsageError(self, error);
    case RunFiles::Opened::Failed:
      Fail(error);
      return signals.Received() != 0 ? 128 + signals.Received() : kExitError;
    case RunFiles::Opened::Ok:
      break;
  }
  // canhost's own text leaves standard output to a recording written there.
  std::FILE* const report = files.WritesStdout() ? stderr : stdout;
  // The seas are checked before the log reaches stderr: a refused file is one line, not two.
  SettingsLock lock;
  const SettingsSeed::Result seeded = LoadSettings(options, command, lock, error);
  if (seeded == SettingsSeed::Result::Failed) return Fail(error);
  ProgressBar progress(!options.quiet && ProgressBar::StderrIsTerminal());
  const ScopedLogSink log(progress.MakeLogSink(kShownLogCategories));
  WarnOfGaps(options, files.replay, progress);
  if (seeded == SettingsSeed::Result::Seeded && !options.quiet)
    progress.PrintLine("canhost run: new settings folder " + host::SettingsFolder().string() +
                       " holds the default settings");

  CanSourceHost host;
  CanSinkHost sink;
  if (!CreateHosts(options, files.replay, host, sink, error)) return Fail(error);
  return MeasureFrames(options, signals, stop, fastClock, files, host, sink, progress, report);
}

}  // namespace

int RunRun(const std::vector<std::string>& args) {
  const Command* self = nullptr;
  for (const auto& c : Commands())
    if (std::string(c.name) == "run") self = &c;
  RunOptions options;
  std::string error;
  if (!RunOptions::Parse(args, options, error)) return UsageError(*self, error);
  std::string command = "canhost run";
  for (const std::string& arg : args)
    command += " " + arg;
  return Measure(*self, options, command);
}

}  // namespace app
