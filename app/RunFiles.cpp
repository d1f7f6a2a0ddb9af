#include "app/RunFiles.h"

#include <sys/stat.h>

#include <array>

#include "app/CmdPlot.h"

namespace app {
namespace {

// An output of the command line, with the option that names it.
struct Named {
  const char* option;
  const OutputFile* file;
};

// Where the replay's spool goes: the temporary folder ($TMPDIR); none when there is no such folder.
std::filesystem::path SpoolFolder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path() : folder;
}

}  // namespace

RunFiles::Opened RunFiles::Open(const RunOptions& options, std::string& error,
                                const std::function<bool()>& stop,
                                const std::function<void(const std::string&)>& say) {
  if (!options.replay.empty() && !ReplayLog::Check(options.replay, replay, error, SpoolFolder()))
    return Opened::Failed;
  const auto waiting = [&](const std::filesystem::path& path) {
    return [&say, path] { say("canhost run: waiting for a reader of the FIFO " + path.string()); };
  };
  if (!options.capture.empty() &&
      !capture.Open(options.capture, error, stop, waiting(options.capture)))
    return Opened::Failed;
  if (!options.signals.empty() &&
      !signals.Open(options.signals, error, stop, waiting(options.signals)))
    return Opened::Failed;
  // Formatting the rows would take the frame loop most of its time with --all-signals. In real
  // time each frame is handed over as it ends; --fast hands over blocks of several frames.
  constexpr std::size_t kFastBatchRows = 8192;
  signals.WriteInBackground(options.fast ? kFastBatchRows : 0);
  if (!options.plot.empty()) {
    if (!plot.Open(options.plot, error)) return Opened::Failed;
    signals.KeepSeries();
  }
  // The same file twice would hold one output's lines between the other's.
  const std::array<Named, 3> outputs = {{{"--capture", &capture.Output()},
                                         {"--signals", &signals.Output()},
                                         {"--plot", &plot.InPlace()}}};
  for (std::size_t i = 0; i < outputs.size(); ++i)
    for (std::size_t j = i + 1; j < outputs.size(); ++j)
      if (outputs[i].file->SameFileAs(*outputs[j].file)) {
        error = std::string(outputs[i].option) + " and " + outputs[j].option +
                " name the same file, " + outputs[j].file->path().string();
        return Opened::Usage;
      }
  const std::filesystem::path target = plot.Target();
  struct stat st {};
  if (!target.empty() && ::stat(target.c_str(), &st) == 0)
    for (const Named& named : outputs)
      if (named.file->SameFileAs(st.st_dev, st.st_ino)) {
        error =
            std::string(named.option) + " and --plot name the same file, " + options.plot.string();
        return Opened::Usage;
      }
  // An output over an input would overwrite what is being read.
  const auto isInput = [&](const std::filesystem::path& input) -> const Named* {
    if (input.empty() || ::stat(input.c_str(), &st) != 0) return nullptr;
    for (const Named& named : outputs)
      if (named.file->SameFileAs(st.st_dev, st.st_ino)) return &named;
    return nullptr;
  };
  if (const Named* named = isInput(options.replay)) {
    error =
        std::string(named->option) + " names the file --replay reads, " + options.replay.string();
    return Opened::Usage;
  }
  for (const auto& [channel, file] : options.dbc)
    if (const Named* named = isInput(file)) {
      error = std::string(named->option) + " names the DBC file of --dbc " +
              std::to_string(channel) + ", " + file.string();
      return Opened::Usage;
    }
  return Opened::Ok;
}

bool RunFiles::good(const RunOptions& options) const noexcept {
  return (options.capture.empty() || capture.Output().good()) &&
         (options.signals.empty() || signals.good());
}

bool RunFiles::WritesStdout() const noexcept {
  return capture.Output().IsStdout() || signals.Output().IsStdout() || plot.InPlace().IsStdout();
}

bool RunFiles::Close(const RunOptions& options, std::string& error) {
  return capture.Close(error) && signals.Close(error) &&
         (options.plot.empty() ||
          WritePlot(signals.Series(), options.plotWidth, options.plotHeight, plot, error));
}

}  // namespace app
