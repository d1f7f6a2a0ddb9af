// The default measurement as a new user meets it: canhost run on a new settings folder, in real
// time for its default length. Its summary shows the chain at work within those seconds (the car
// pulls away, the engine revs, every signal listed gets values) and ends with commands to try
// next, which work as printed from the folder the user is in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

struct Shell {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a command line with sh in `cwd`, as a user types it there.
Shell RunIn(const std::filesystem::path& cwd, const std::string& line) {
  const auto out = cwd / "shell.out";
  const auto err = cwd / "shell.err";
  // The line on a line of its own: a comment at its end ends with it.
  const std::string command = "cd '" + cwd.string() + "' && {\n" + line + "\n} >'" + out.string() +
                              "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  Shell result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

struct SignalRow {
  std::string unit;
  long long values = 0;
  double last = 0, min = 0, max = 0;
};

// The signal table of the summary by name: "name unit values last min max nan/inf time-outs",
// where a name has blanks and the numbers are the last six fields.
std::map<std::string, SignalRow> SignalRows(const std::string& out) {
  std::map<std::string, SignalRow> rows;
  std::istringstream in(out);
  bool table = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("signal ", 0) == 0) {
      table = true;
      continue;
    }
    if (!table || line.rfind("packets decoded", 0) == 0) {
      table = false;
      continue;
    }
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string w; fields >> w;)
      words.push_back(w);
    if (words.size() < 8) continue;
    const std::size_t n = words.size();
    std::string name = words[0];
    for (std::size_t i = 1; i + 7 < n; ++i)
      name += " " + words[i];
    rows[name] = {words[n - 7], std::stoll(words[n - 6]), std::stod(words[n - 5]),
                  std::stod(words[n - 4]), std::stod(words[n - 3])};
  }
  return rows;
}

// The commands after "try next:", without their indent and comment.
std::vector<std::string> Suggestions(const std::string& out, std::vector<std::string>& lines) {
  std::vector<std::string> commands;
  const auto at = out.find("try next:\n");
  if (at == std::string::npos) return commands;
  std::istringstream in(out.substr(at + 10));
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    std::string command = line.substr(0, line.find("  #"));
    command.erase(command.find_last_not_of(' ') + 1);
    commands.push_back(command.substr(command.find_first_not_of(' ')));
  }
  return commands;
}

TEST(DefaultRun, ShowsTheCarMovingAndSuggestsCommandsThatWorkAsPrinted) {
  TempDir dir;
  // Started as a user in another folder starts it: by a relative path.
  const std::string canhost =
      std::filesystem::relative(testing_support::BinDir() / "canhost", dir.path()).string();
  const std::string settings = (dir / "settings").string();
  const Shell run = RunIn(dir.path(), canhost + " run --settings " + settings);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("50 frames of 0.100 s = 5.000 s, real time"), std::string::npos)
      << run.out;

  // Every signal the default decodes gets values; within the 5 s the car pulls away from idle.
  const auto rows = SignalRows(run.out);
  ASSERT_EQ(rows.size(), 5u) << run.out;
  for (const char* name : {"Ambient temperature", "Coolant temperature", "Engine speed",
                           "Throttle position", "Vehicle speed"}) {
    ASSERT_EQ(rows.count(name), 1u) << name << "\n" << run.out;
    EXPECT_GT(rows.at(name).values, 20) << name << "\n" << run.out;
  }
  EXPECT_GE(rows.at("Engine speed").max - rows.at("Engine speed").min, 1000.0) << run.out;
  EXPECT_GT(rows.at("Vehicle speed").max - rows.at("Vehicle speed").min, 20.0) << run.out;

  // What to try next: the window, a drive cycle recorded and drawn, that log decoded with its DBC
  // file, each on the same settings folder.
  std::vector<std::string> lines;
  const auto commands = Suggestions(run.out, lines);
  ASSERT_EQ(commands.size(), 3u) << run.out;
  EXPECT_EQ(commands[0], canhost + " ui --settings " + settings);
  const auto dbc =
      std::filesystem::relative(testing_support::SourceDir() / "data" / "obd2.dbc", dir.path());
  EXPECT_EQ(commands[2], canhost + " run --settings " + settings +
                             " --fast --replay obd.log --dbc 0=" + dbc.string());
  // The last two run here as printed, comment and all.
  const Shell cycle = RunIn(dir.path(), lines[1]);
  ASSERT_EQ(cycle.exitCode, 0) << lines[1] << "\n" << cycle.err;
  EXPECT_GT(std::filesystem::file_size(dir / "obd.log"), 0u);
  EXPECT_GT(std::filesystem::file_size(dir / "obd.png"), 0u);
  EXPECT_EQ(SignalRows(cycle.out).at("Vehicle speed").max, 100.0) << cycle.out;
  const Shell replay = RunIn(dir.path(), lines[2]);
  ASSERT_EQ(replay.exitCode, 0) << lines[2] << "\n" << replay.err;
  const auto replayed = SignalRows(replay.out);
  ASSERT_EQ(replayed.count("Engine speed"), 1u) << replay.out;
  EXPECT_GT(replayed.at("Engine speed").values, 1000) << replay.out;
  // A run that writes files does not suggest again.
  EXPECT_EQ(cycle.out.find("try next:"), std::string::npos);
  EXPECT_EQ(replay.out.find("try next:"), std::string::npos);
}

}  // namespace
