#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "tests/support/TestSupport.h"

extern char** environ;

namespace testing_support {

pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& outPath,
                   const std::string& errPath) {
  const std::string path = (BinDir() / program).string();
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e)
    envStore.emplace_back(*e);
  for (const auto& e : env)
    envStore.push_back(e);
  std::vector<char*> envp;
  envp.reserve(envStore.size() + 1);
  for (auto& e : envStore)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStore{path};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(argStore.size() + 1);
  for (auto& a : argStore)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int ExitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
  TempDir dir;
  const std::string outPath = (dir / "out").string();
  const std::string errPath = (dir / "err").string();
  ProgramResult result;
  if (const pid_t pid = SpawnProgram(program, args, env, outPath, errPath); pid > 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = ExitCodeOf(status);
  }
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

RunCounts ParseRunCounts(const std::string& out) {
  RunCounts counts;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string label;
    fields >> label;
    if (label == "channel") {
      for (std::string name; fields >> name && name != "source";) {
        if (name == "room" && !counts.columns.empty() && counts.columns.back() == "no")
          counts.columns.back() = "no room";  // the one title of two words
        else
          counts.columns.push_back(name);
      }
      continue;
    }
    std::vector<long long> row(counts.columns.size());
    bool complete = !row.empty();
    for (long long& c : row)
      complete = complete && static_cast<bool>(fields >> c);
    if (complete) counts.rows[label] = row;
  }
  return counts;
}

long long RunCounts::At(const std::string& label, const std::string& column) const {
  const auto row = rows.find(label);
  const auto it = std::find(columns.begin(), columns.end(), column);
  if (row == rows.end() || it == columns.end()) return -1;
  return row->second[static_cast<std::size_t>(it - columns.begin())];
}

}  // namespace testing_support
