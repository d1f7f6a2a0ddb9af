#pragma once
// The driver configuration read from the settings folder (the format is documented in
// CanDriver.h). Lines that are wrong are logged through the driver log as
// "candriver: <file>:<line>: <reason>" and left out; the others stay in force.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/candriver/ChannelClock.h"
#include "host/candriver/ConfigOptions.h"
#include "host/candriver/TrafficGenerator.h"

namespace XeCanDriverKvaser {
class LogSpool;
}  // namespace XeCanDriverKvaser

namespace XeCanDriverKvaser::detail {

// The virtual bus of a virtual channel without bus=.
inline constexpr std::string_view kDefaultVirtualBus = "default";

// One "channel" line.
struct ChannelConfig {
  int channel = 0;               // 0..255
  std::string backend;           // a name of the backend table (CanBackends.h)
  ConfigOptions options;         // the backend's own options
  ChannelClock clock;            // from offset= and drift=
  std::filesystem::path folder;  // folder of the configuration: base of relative file names
  std::string where;             // "<file>:<line>" for messages; "default" for the built-in lines
  int line = 0;                  // 1-based line of the text it was read from; 0: built in
  // A replay whose log has been read through already: its frames, played in place of the file's
  // text. Null: the replay reads the file.
  std::shared_ptr<const LogSpool> spool;
};

// One "generator" line.
struct GeneratorConfig {
  std::string bus;
  TrafficGenerator generator;
  int line = 0;  // 1-based line of the text it was read from
};

// A line the driver leaves out, or a generator that no channel hears, with the reason as the
// driver log gives it ("unknown backend 'serial' (known: virtual, replay, socketcan)").
struct ConfigProblem {
  int line = 0;  // 1-based; 0: the file as a whole
  std::string reason;
};

// [any] Splits a configuration line at blanks: "#" outside quotes starts a comment; a value in
// double quotes may hold blanks and "#" (the quotes are dropped). False for an unclosed quote.
// `comment`, when given, is set to the position of the "#" that starts the comment, or npos.
//   channel 1 virtual bus="a b" # x -> {"channel", "1", "virtual", "bus=a b"}, comment at 30
bool SplitConfigLine(std::string_view line, std::vector<std::string>& tokens,
                     std::size_t* comment = nullptr);

class DriverConfig {
 public:
  static constexpr const char* kFileName = "candriver.conf";
  // Wrong lines reported one by one; the rest are counted in one more line.
  static constexpr std::size_t kReportedLines = 20;

  // [ui] Reads a configuration file; without one, the default: channels 0-3 virtual on one bus.
  // A file that cannot be read (a FIFO, a device, a folder, one over FileIO's size limit) is
  // logged and configures no channel.
  static DriverConfig Load(const std::filesystem::path& file);
  // [ui] Reads configuration text; `name` names it in messages, `folder` anchors file names.
  // With `problems` the wrong lines are collected there (every one, in line order) instead of
  // being logged: the channel window checks its text with the driver's own reading.
  static DriverConfig Parse(std::string_view text, const std::string& name,
                            const std::filesystem::path& folder,
                            std::vector<ConfigProblem>* problems = nullptr);
  // [any] The built-in configuration.
  static DriverConfig Default();

  // [any] The line of a channel; null when the channel is not configured.
  const ChannelConfig* Find(int channel) const noexcept;
  // [any] The generators of a virtual bus, in file order.
  std::vector<TrafficGenerator> GeneratorsOf(std::string_view bus) const;

  const std::vector<ChannelConfig>& channels() const noexcept { return m_channels; }
  const std::vector<GeneratorConfig>& generators() const noexcept { return m_generators; }

 private:
  bool ParseChannel(const std::vector<std::string>& tokens, ChannelConfig& config,
                    std::string& error) const;
  // A generator on a bus no virtual channel is on: logged, or collected in `problems`.
  void ReportUnheardGenerators(const std::string& name, std::vector<ConfigProblem>* problems) const;

  std::vector<ChannelConfig> m_channels;
  std::vector<GeneratorConfig> m_generators;
};

}  // namespace XeCanDriverKvaser::detail
