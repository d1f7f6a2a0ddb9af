// canhost plot: a picture of a saved file of decoded signals.
#include "app/CmdPlot.h"

#include <algorithm>
#include <cstdio>

#include "app/Commands.h"
#include "app/RunOptions.h"
#include "app/SignalCsvReader.h"
#include "host/ui/qt/QtPlotImage.h"

namespace app {

namespace {

struct PlotOptions {
  std::filesystem::path input;
  std::filesystem::path output;
  int width = ui::qt::QtPlotImage::kDefaultWidth;
  int height = ui::qt::QtPlotImage::kDefaultHeight;
  std::vector<std::string> only;
};

bool Parse(const std::vector<std::string>& args, PlotOptions& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg != "-o" && arg != "--size" && arg != "--signal") {
      if (arg.rfind('-', 0) == 0 || !options.input.empty()) {
        error = "unexpected argument '" + arg + "'";
        return false;
      }
      options.input = arg;
      continue;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = arg + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (arg == "-o") {
      options.output = value;
    } else if (arg == "--signal") {
      options.only.push_back(value);
    } else if (!RunOptions::ParseSize(value, options.width, options.height, error)) {
      return false;
    }
  }
  if (options.input.empty() || options.output.empty()) {
    error = options.input.empty() ? "which file of signals?" : "-o FILE.png is missing";
    return false;
  }
  return true;
}

// Keeps the series named in `only` (all when empty); false naming the first one not there.
bool Choose(std::vector<ui::PlotSeries>& series, const std::vector<std::string>& only,
            std::string& error) {
  if (only.empty()) return true;
  for (const std::string& name : only) {
    if (std::none_of(series.begin(), series.end(),
                     [&](const ui::PlotSeries& s) { return s.name == name; })) {
      error = "--signal: no signal '" + name + "' in the file";
      return false;
    }
  }
  std::erase_if(series, [&](const ui::PlotSeries& s) {
    return std::find(only.begin(), only.end(), s.name) == only.end();
  });
  return true;
}

}  // namespace

bool WritePlot(const std::vector<ui::PlotSeries>& series, int width, int height,
               AtomicOutputFile& out, std::string& error) {
  const std::string png = ui::qt::QtPlotImage::RenderPng(series, width, height);
  if (png.empty()) {
    error = "the picture could not be encoded as PNG";
    out.fail();
  } else {
    out.Write(png);
  }
  std::string closeError;
  if (!out.Close(closeError) && error.empty()) error = closeError;
  return error.empty();
}

int RunPlot(const std::vector<std::string>& args) {
  const Command* self = nullptr;
  for (const auto& c : Commands())
    if (std::string(c.name) == "plot") self = &c;
  PlotOptions options;
  std::string error;
  if (!Parse(args, options, error)) return UsageError(*self, error);
  std::vector<ui::PlotSeries> series;
  if (!SignalCsvReader::Read(options.input, series, error) ||
      !Choose(series, options.only, error)) {
    std::fprintf(stderr, "canhost plot: %s\n", error.c_str());
    return kExitUsage;
  }
  AtomicOutputFile out;
  if (!out.Open(options.output, error) ||
      !WritePlot(series, options.width, options.height, out, error)) {
    std::fprintf(stderr, "canhost plot: %s\n", error.c_str());
    return kExitError;
  }
  return kExitOk;
}

}  // namespace app
