// The channel window's model: what refuses a save, what only deserves a look, and what the
// window offers for an interface (the log's, the system's).
#include <algorithm>
#include <fstream>
#include <set>

#include "host/candriver/CanLogReader.h"
#include "host/candriver/ConfigOptions.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/candriver/TrafficGenerator.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace XeCanDriverKvaser {

using detail::ConfigOptions;

namespace {

// The Linux interface type of CAN devices (ARPHRD_CAN).
constexpr int kCanInterfaceType = 280;
// The longest interface name Linux takes (IFNAMSIZ - 1).
constexpr std::size_t kMaxInterfaceName = 15;

using Problem = DriverConfigModel::Problem;
using Table = Problem::Table;

// Which field of a generator row a reason of TrafficGenerator::Parse is about, by the words it
// starts with.
struct ReasonField {
  std::string_view start;
  DriverConfigModel::GeneratorField field;
};
constexpr ReasonField kGeneratorReasons[] = {
    {"a generator needs id=", DriverConfigModel::Ids},
    {"bad identifier", DriverConfigModel::Ids},
    {"a generator needs period=", DriverConfigModel::Period},
    {"phase", DriverConfigModel::Phase},
    {"fd", DriverConfigModel::Fd},
    {"brs", DriverConfigModel::Brs},
    {"data", DriverConfigModel::Data},
    {"bad length", DriverConfigModel::Length},
    {"length", DriverConfigModel::Length},
};

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words)
    text += (text.empty() ? "" : ", ") + w;
  return text;
}

}  // namespace

LogScan ScanLog(const std::filesystem::path& file, std::size_t maxFrames) {
  LogScan scan;
  std::string why;
  if (!FileIO::CheckInputFile(file, 0, why)) {
    scan.error = why;
    return scan;
  }
  CanLogReader reader;
  if (!reader.Open(file)) {
    scan.error = reader.error();
    return scan;
  }
  CanLogEntry entry;
  std::size_t errors = 0;
  while (scan.frames < maxFrames && reader.Next(entry)) {
    if (!entry.error.empty()) {
      // A log whose first lines are all unreadable is no log.
      if (++errors == 20 && scan.frames == 0) scan.error = entry.error;
      if (!scan.error.empty()) return scan;
      continue;
    }
    ++scan.frames;
    scan.fd = scan.fd || (entry.message.flags & kCanFlagFd) != 0;
    if (std::find(scan.interfaces.begin(), scan.interfaces.end(), entry.channel) ==
        scan.interfaces.end())
      scan.interfaces.push_back(entry.channel);
  }
  if (scan.frames == 0 && scan.error.empty())
    scan.error = file.string() + ": no CAN frame in it" + (errors ? " that reads" : "");
  return scan;
}

std::vector<std::string> SocketCanInterfaces() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", ec)) {
    std::ifstream type(entry.path() / "type");
    int value = 0;
    if (type >> value && value == kCanInterfaceType)
      names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

const LogScan& DriverConfigModel::Scan(const std::string& file) const {
  const std::filesystem::path path = ResolvedFile(file);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  const auto time = std::filesystem::last_write_time(path, ec);
  const auto found = m_scans.find(path);
  if (found != m_scans.end() && found->second.size == size && found->second.time == time)
    return found->second.scan;
  Scanned& scanned = m_scans[path];
  scanned = Scanned{size, time, ScanLog(path)};
  return scanned.scan;
}

std::vector<std::string> DriverConfigModel::Ignored() const {
  std::vector<std::string> lines;
  for (const auto& p : m_ignored)
    lines.push_back("Line " + std::to_string(p.line) + ": " + p.reason);
  return lines;
}

std::size_t DriverConfigModel::CommentLines() const {
  std::size_t n = 0;
  for (const Line& line : m_lines) {
    const std::string_view text = mfc::TrimBlanks(line.text);
    n += line.kind == Kind::Text && (text.empty() || text.front() == '#');
  }
  return n;
}

std::string DriverConfigModel::Describe(const Problem& problem) {
  switch (problem.table) {
    case Table::Channels:
      return "Channel row " + std::to_string(problem.row + 1) + ": " + problem.reason;
    case Table::Generators:
      return "Generator row " + std::to_string(problem.row + 1) + ": " + problem.reason;
    case Table::File:
      break;
  }
  return "Line " + std::to_string(problem.row) + " of the file: " + problem.reason;
}

std::vector<Problem> DriverConfigModel::Problems() const {
  std::vector<Problem> problems;
  for (std::size_t r = 0; r < m_channels.size(); ++r)
    CheckChannel(r, problems);
  for (std::size_t r = 0; r < m_generators.size(); ++r)
    CheckGenerator(r, problems);
  if (problems.empty()) CheckAsDriver(problems);
  return problems;
}

void DriverConfigModel::CheckChannel(std::size_t row, std::vector<Problem>& problems) const {
  const Channel& c = m_channels[row];
  const auto refuse = [&](ChannelField field, std::string reason) {
    problems.push_back({Table::Channels, row, field, std::move(reason)});
  };
  std::int64_t number = -1;
  if (c.number.empty())
    refuse(Number, "a channel needs its number, 0 to 255");
  else if (!ConfigOptions::ParseInteger(c.number, number) || number < 0 || number > 255)
    refuse(Number, "channel " + mfc::QuoteToken(c.number) + " is not a number from 0 to 255");
  for (std::size_t other = 0; number >= 0 && other < row; ++other)
    if (std::int64_t n = -1;
        ConfigOptions::ParseInteger(m_channels[other].number, n) && n == number) {
      refuse(Number, "channel " + std::to_string(number) + " is in row " +
                         std::to_string(other + 1) + " as well: each channel has one line");
      break;
    }
  switch (c.backend) {
    case Backend::Virtual:
      if (c.bus.find('=') != std::string::npos)
        refuse(Bus, "a bus name cannot hold '=': " + mfc::QuoteToken(c.bus));
      break;
    case Backend::Replay:
      if (c.file.empty())
        refuse(File, "a replay channel needs a log file: choose one with Browse...");
      else if (const LogScan& scan = Scan(c.file); !scan.error.empty())
        refuse(File, scan.error);
      break;
    case Backend::SocketCan: {
      const auto system = SocketCanInterfaces();
      if (c.interface.empty())
        refuse(Interface, "a SocketCAN channel needs an interface; this system has " +
                              (system.empty() ? std::string("none now (a virtual one: ip link add "
                                                            "dev vcan0 type vcan)")
                                              : Joined(system)));
      else if (c.interface.size() > kMaxInterfaceName)
        refuse(Interface, "interface " + mfc::QuoteToken(c.interface) +
                              " is longer than the 15 characters of a Linux interface name");
      break;
    }
  }
  std::int64_t value = 0;
  if (!c.offset.empty() && !ConfigOptions::ParseInteger(c.offset, value))
    refuse(Offset, "clock offset " + mfc::QuoteToken(c.offset) +
                       " is not a whole number of 125 \xC2\xB5s ticks");
  if (!c.drift.empty() && !ConfigOptions::ParseDriftPpb(c.drift, value))
    refuse(Drift, "clock drift " + mfc::QuoteToken(c.drift) +
                      " is not ppm from -1000 to 1000 with at most 3 decimals");
}

void DriverConfigModel::CheckGenerator(std::size_t row, std::vector<Problem>& problems) const {
  const Generator& g = m_generators[row];
  const auto refuse = [&](GeneratorField field, std::string reason) {
    problems.push_back({Table::Generators, row, field, std::move(reason)});
  };
  if (g.bus.empty() || g.bus.find('=') != std::string::npos) {
    refuse(GenBus, "a generator needs the name of its virtual bus, without '='");
    return;
  }
  ConfigOptions options;
  std::string error;
  const std::pair<const char*, const std::string*> fields[] = {
      {"id", &g.ids},    {"period", &g.period}, {"phase", &g.phase}, {"length", &g.length},
      {"data", &g.data}, {"fd", &g.fd},         {"brs", &g.brs}};
  for (const auto& [key, value] : fields)
    if (!value->empty() || std::string_view(key) == "id" || std::string_view(key) == "period")
      options.Add(std::string(key) + "=" + *value, error);
  if (detail::TrafficGenerator::Parse(options, error)) return;
  GeneratorField field = Ids;
  for (const ReasonField& r : kGeneratorReasons)
    if (error.starts_with(r.start)) {
      field = r.field;
      break;
    }
  refuse(field, error);
}

// The driver's own reading of the text as written: what it would leave out that the checks above
// let pass, and a line kept as written that a change of the rows would bring into force.
void DriverConfigModel::CheckAsDriver(std::vector<Problem>& problems) const {
  std::vector<int> channelLines, generatorLines;
  const std::string text = Build(channelLines, generatorLines);
  std::vector<detail::ConfigProblem> driver;
  const detail::DriverConfig parsed =
      detail::DriverConfig::Parse(text, m_file.string(), m_file.parent_path(), &driver);
  for (const auto& p : driver) {
    const auto c = std::find(channelLines.begin(), channelLines.end(), p.line);
    const auto g = std::find(generatorLines.begin(), generatorLines.end(), p.line);
    if (c != channelLines.end())
      problems.push_back(
          {Table::Channels, static_cast<std::size_t>(c - channelLines.begin()), -1, p.reason});
    // A generator nobody hears is a warning.
    else if (g != generatorLines.end() && !p.reason.starts_with("generator for bus"))
      problems.push_back(
          {Table::Generators, static_cast<std::size_t>(g - generatorLines.begin()), -1, p.reason});
  }
  for (const auto& c : parsed.channels())
    if (std::find(channelLines.begin(), channelLines.end(), c.line) == channelLines.end())
      problems.push_back({Table::File, static_cast<std::size_t>(c.line), -1,
                          "kept as written so far, it would now configure channel " +
                              std::to_string(c.channel) +
                              " as well: remove it from the file, or the row of that channel"});
}

std::vector<std::string> DriverConfigModel::Warnings() const {
  std::vector<std::string> warnings;
  std::set<std::string> buses;
  for (const Channel& c : m_channels)
    if (c.backend == Backend::Virtual)
      buses.insert(c.bus.empty() ? std::string(detail::kDefaultVirtualBus) : c.bus);
  for (std::size_t r = 0; r < m_generators.size(); ++r)
    if (buses.count(m_generators[r].bus) == 0)
      warnings.push_back("Generator row " + std::to_string(r + 1) +
                         ": no virtual channel is on bus " + mfc::QuoteToken(m_generators[r].bus) +
                         ": nobody hears it");
  const auto system = SocketCanInterfaces();
  for (std::size_t r = 0; r < m_channels.size(); ++r) {
    const Channel& c = m_channels[r];
    const std::string row = "Channel row " + std::to_string(r + 1) + ": ";
    if (c.backend == Backend::SocketCan && !c.interface.empty() &&
        std::find(system.begin(), system.end(), c.interface) == system.end())
      warnings.push_back(row + "this system has no CAN interface " + mfc::QuoteToken(c.interface) +
                         " now; the channel opens once it has");
    if (c.backend != Backend::Replay || c.file.empty() || c.interface.empty()) continue;
    const LogScan& scan = Scan(c.file);
    if (scan.error.empty() && std::find(scan.interfaces.begin(), scan.interfaces.end(),
                                        c.interface) == scan.interfaces.end())
      warnings.push_back(row + "the log's first frames are on " + Joined(scan.interfaces) +
                         ", not on " + mfc::QuoteToken(c.interface));
  }
  return warnings;
}

std::vector<std::string> DriverConfigModel::InterfaceChoices(std::size_t row) const {
  std::vector<std::string> choices;
  if (row >= m_channels.size()) return choices;
  const Channel& c = m_channels[row];
  if (c.backend == Backend::Virtual) return choices;
  if (c.backend == Backend::Replay) {
    choices.emplace_back();
    if (!c.file.empty())
      for (const std::string& name : Scan(c.file).interfaces)
        choices.push_back(name);
  } else {
    choices = SocketCanInterfaces();
  }
  if (std::find(choices.begin(), choices.end(), c.interface) == choices.end())
    choices.push_back(c.interface);
  return choices;
}

}  // namespace XeCanDriverKvaser
