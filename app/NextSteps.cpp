#include "app/NextSteps.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace app {
namespace {

// A word as a shell reads it back: as it is when it holds nothing the shell treats specially.
std::string ShellWord(const std::string& word) {
  constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+=:,@%";
  if (!word.empty() && word.find_first_not_of(kPlain) == std::string::npos) return word;
  std::string quoted = "'";
  for (const char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The DBC file of the default's OBD-II tester: data/obd2.dbc of the source tree when the program
// runs from its build tree (build/<preset>/bin/canhost), else the copy the settings hold.
std::filesystem::path ObdDbc(const std::filesystem::path& exe, const std::filesystem::path& cwd,
                             const std::filesystem::path& settings) {
  std::error_code ec;
  const auto tree = exe.parent_path().parent_path().parent_path().parent_path();
  const auto data = tree / "data" / "obd2.dbc";
  if (!exe.empty() && std::filesystem::is_regular_file(data, ec))
    return std::filesystem::proximate(data, cwd, ec);
  return std::filesystem::absolute(settings / "obd2.dbc", ec);
}

}  // namespace

bool ShowsNextSteps(const RunOptions& options) {
  return !options.quiet && options.replay.empty() && options.capture.empty() &&
         options.signals.empty() && options.plot.empty() && options.dbc.empty();
}

std::string NextSteps(const std::string& program, const RunOptions& options,
                      const std::filesystem::path& settings, const std::filesystem::path& exe,
                      const std::filesystem::path& cwd) {
  const std::string canhost = ShellWord(program.empty() ? std::string("canhost") : program);
  const std::string folder =
      options.settings.empty() ? std::string() : " --settings " + ShellWord(settings.string());
  const std::string dbc = ObdDbc(exe, cwd, settings).string();
  const std::array<std::pair<std::string, const char*>, 3> steps = {{
      {canhost + " ui" + folder, "the same in a window"},
      {canhost + " run" + folder + " --fast --seconds 60 --capture obd.log --plot obd.png",
       "a drive cycle: log and plot"},
      {canhost + " run" + folder + " --fast --replay obd.log --dbc 0=" + ShellWord(dbc),
       "the log decoded with its DBC"},
  }};
  std::size_t width = 0;
  for (const auto& [command, why] : steps)
    width = std::max(width, command.size());
  std::string out = "try next:\n";
  for (const auto& [command, why] : steps)
    out += "  " + command + std::string(width - command.size(), ' ') + "  # " + why + "\n";
  return out;
}

}  // namespace app
