#pragma once
// Runs a program of the build tree and collects its exit code, stdout and stderr.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct ProgramResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs bin/<program> with the arguments (no shell involved) and the extra environment entries
// ("NAME=value"). Standard input is /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

// Starts bin/<program> as RunProgram does, stdout and stderr going to the given files, and returns
// at once: the pid to wait for, or -1 when it could not be started.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& outPath,
                   const std::string& errPath);

// The exit code of a waitpid status; 128 + the signal for a program killed by one.
int ExitCodeOf(int status);

// The count table of canhost run's summary: columns by their titles, rows by their label (the
// channel, or "total").
struct RunCounts {
  std::vector<std::string> columns;
  std::map<std::string, std::vector<long long>> rows;
  // The count of `column` in row `label`; -1 where either is missing.
  long long At(const std::string& label, const std::string& column) const;
};
RunCounts ParseRunCounts(const std::string& out);

}  // namespace testing_support
