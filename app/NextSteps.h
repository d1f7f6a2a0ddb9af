#pragma once
// What canhost run suggests after the summary of a plain run (the default measurement: no replay,
// no output files): the same measurement in a window, a whole drive cycle recorded and drawn, and
// that recording played back and decoded with its DBC file. Each line is a command that works as
// printed from the folder canhost was started in, with a comment after "#":
//
//   try next:
//     build/release/bin/canhost ui                                             # the same in a window
//     build/release/bin/canhost run --fast --seconds 60 --capture obd.log ...  # a drive cycle: ...
//     build/release/bin/canhost run --fast --replay obd.log --dbc 0=data/obd2.dbc  # the log ...
#include <filesystem>
#include <string>

#include "app/RunOptions.h"

namespace app {

// [any] Whether a run with these options ends with the suggestions.
bool ShowsNextSteps(const RunOptions& options);

// [any] The suggestions: `program` is canhost as it was started (argv[0]), `settings` the
// settings folder of the run (passed on when the options named one), `exe` the running program's
// file and `cwd` the current folder, to find data/obd2.dbc of the source tree that built it (else
// the copy in the settings folder is named).
std::string NextSteps(const std::string& program, const RunOptions& options,
                      const std::filesystem::path& settings, const std::filesystem::path& exe,
                      const std::filesystem::path& cwd);

}  // namespace app
