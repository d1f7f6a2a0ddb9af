#include "app/Commands.h"

#include "app/CmdConvert.h"
#include "app/CmdDbc.h"
#include "app/CmdPlot.h"
#include "app/CmdUi.h"

#include <cstdio>
#include <string>
#include <utility>

#include "app/RunOptions.h"

namespace app {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"modules", "load the plug-in and list the module names it registers",
       "usage: canhost modules [--plugin PATH]\n"
       "  Loads the CAN plug-in and prints the registered module names, one per line, sorted.\n"
       "  --plugin PATH  plug-in library (default: ../lib/libcanplugin.so next to canhost,\n"
       "                 or $CANHOST_PLUGIN)\n",
       &RunModules},
      {"run", "run a measurement in real time or --fast, live or from a log", kRunUsage, &RunRun},
      {"dbc", "inspect a DBC file or decode a CAN log with it", kDbcUsage, &RunDbc},
      {"convert", "convert a CAN log between candump, ASC, BLF and TRC", kConvertUsage,
       &RunConvert},
      {"ui", "the host's main window: modules, their dialogs, a live measurement", kUiUsage,
       &RunUi},
      {"plot", "draw a saved file of decoded signals as a PNG picture", kPlotUsage, &RunPlot},
  };
  return commands;
}

namespace {
std::string& TheProgramName() {
  static std::string name = "canhost";
  return name;
}
}  // namespace

void SetProgramName(std::string name) {
  if (!name.empty()) TheProgramName() = std::move(name);
}

const std::string& ProgramName() {
  return TheProgramName();
}

void PrintUsage(bool toStdout) {
  std::FILE* out = toStdout ? stdout : stderr;
  std::fputs(
      "usage: canhost COMMAND [options]\n"
      "       canhost --help | help [COMMAND]\n"
      "\n"
      "The host application of the CAN plug-in for Linux.\n"
      "\n"
      "commands:\n",
      out);
  for (const auto& c : Commands())
    std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fputs("\nRun 'canhost help COMMAND' for the options of a command.\n", out);
}

int UsageError(const Command& command, const std::string& message) {
  std::fprintf(stderr, "canhost %s: %s\n%s", command.name, message.c_str(), command.usage);
  return kExitUsage;
}

}  // namespace app
