#pragma once
// Runs a program of the build tree and collects its exit code, stdout and stderr.
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

}  // namespace testing_support
