#pragma once
// canhost plot, and the picture of canhost run --plot.
#include <filesystem>
#include <string>
#include <vector>

#include "app/AtomicOutputFile.h"
#include "host/ui/SignalSnapshot.h"

namespace app {

inline constexpr const char* kPlotUsage =
    "usage: canhost plot SIGNALS.csv -o FILE.png [--size WxH] [--signal NAME ...]\n"
    "  Draws a file of decoded signals (canhost run --signals) as a PNG picture, without a\n"
    "  display: one panel per signal (per unit beyond 8 signals), values as steps over the time\n"
    "  in seconds, the unit on each panel's value axis.\n"
    "  -o FILE.png      the picture to write (replaced whole, or left as it was on an error;\n"
    "                   '-', a FIFO or a device is written in place)\n"
    "  --size WxH       its size in pixels (default: 1600x900)\n"
    "  --signal NAME    draw only this signal (repeatable; default: every signal of the file)\n"
    "  Exit codes: 0 done, 1 the picture cannot be written, 2 bad arguments or a file that is\n"
    "  not a file of signals (with its line).\n";

// [ui] Draws `series` into `out` (opened by the caller, so that a wrong path fails before a long
// run) and closes it. False with one line in `error`.
bool WritePlot(const std::vector<ui::PlotSeries>& series, int width, int height,
               AtomicOutputFile& out, std::string& error);

}  // namespace app
