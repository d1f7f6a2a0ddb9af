#pragma once
// canhost's commands. Each command lives in its own file and is listed in Commands.cpp.
// Exit codes of every command: 0 done, 1 runtime error (one clear line on stderr), 2 bad arguments
// (the usage is printed).
#include <string>
#include <vector>

namespace app {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

struct Command {
  const char* name;     // first word on the command line
  const char* summary;  // one line for "canhost --help"
  const char* usage;    // full usage of the command, printed by "canhost help NAME" and on errors
  int (*run)(const std::vector<std::string>& args);  // args after the command name
};

// Every command, in the order "--help" lists them.
const std::vector<Command>& Commands();

// [ui] canhost as it was started (argv[0]): what a command tells the user to type again.
void SetProgramName(std::string name);
const std::string& ProgramName();

// Prints the general usage to stderr (or stdout for --help).
void PrintUsage(bool toStdout);
// Prints a command's usage after an argument error; returns kExitUsage.
int UsageError(const Command& command, const std::string& message);

int RunModules(const std::vector<std::string>& args);
int RunDbc(const std::vector<std::string>& args);
int RunRun(const std::vector<std::string>& args);
int RunUi(const std::vector<std::string>& args);
int RunPlot(const std::vector<std::string>& args);

}  // namespace app
