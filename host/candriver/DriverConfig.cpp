#include "host/candriver/DriverConfig.h"

#include "host/candriver/CanBackends.h"
#include "host/candriver/DriverLog.h"
#include "host/mfc/CString.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace XeCanDriverKvaser::detail {

bool SplitConfigLine(std::string_view line, std::vector<std::string>& tokens,
                     std::size_t* comment) {
  tokens.clear();
  if (comment) *comment = std::string_view::npos;
  std::string token;
  bool inToken = false, quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else {
        token += c;
      }
    } else if (c == '"') {
      quoted = inToken = true;
    } else if (c == '#' && !inToken) {
      if (comment) *comment = i;
      break;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inToken) tokens.push_back(std::move(token));
      token.clear();
      inToken = false;
    } else {
      token += c;
      inToken = true;
    }
  }
  if (quoted) return false;
  if (inToken) tokens.push_back(std::move(token));
  return true;
}

namespace {

void Report(const std::string& where, const std::string& reason) {
  Log(mfc::WidenUtf8("candriver: " + where + ": " + reason));
}

}  // namespace

DriverConfig DriverConfig::Default() {
  DriverConfig config;
  for (int channel = 0; channel < 4; ++channel) {
    ChannelConfig c;
    c.channel = channel;
    c.backend = "virtual";
    c.where = "default";
    config.m_channels.push_back(std::move(c));
  }
  return config;
}

DriverConfig DriverConfig::Load(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return Default();
  std::wstring why;
  const auto text = FileIO::ReadWholeFile(file, why);
  if (!text) {
    Report(mfc::NarrowUtf8(why), "no channel is configured");
    return DriverConfig();
  }
  return Parse(*text, file.string(), file.parent_path());
}

bool DriverConfig::ParseChannel(const std::vector<std::string>& tokens, ChannelConfig& config,
                                std::string& error) const {
  std::int64_t number = -1;
  if (tokens.size() < 3 || !ConfigOptions::ParseInteger(tokens[1], number) || number < 0 ||
      number > 255) {
    error = "expected: channel <0..255> <backend> [key=value ...]";
    return false;
  }
  config.channel = static_cast<int>(number);
  for (const ChannelConfig& other : m_channels) {
    if (other.channel == config.channel) {
      error = "channel " + tokens[1] + " is already configured at " + other.where;
      return false;
    }
  }
  const Backend* backend = FindBackend(tokens[2]);
  if (!backend) {
    error = "unknown backend " + mfc::QuoteToken(tokens[2]) + " (known: " + BackendNames() + ")";
    return false;
  }
  config.backend = tokens[2];
  for (std::size_t i = 3; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    if (token.starts_with("offset=")) {
      const std::string_view value = token.substr(7);
      if (!ConfigOptions::ParseInteger(value, config.clock.offsetTicks)) {
        long long ignored = 0;
        const bool digits =
            !value.empty() &&
            value.find_first_not_of("0123456789", value[0] == '-') == std::string_view::npos &&
            value.size() > (value[0] == '-' ? 1u : 0u);
        error = "offset " + mfc::QuoteToken(value) +
                (digits && !mfc::ParseWholeNumber(value, ignored, 10)
                     ? " is beyond the 64-bit range of an offset (-9223372036854775808.."
                       "9223372036854775807 ticks)"
                     : " is not an integer number of 125 us ticks");
        return false;
      }
    } else if (token.starts_with("drift=")) {
      if (!ConfigOptions::ParseDriftPpb(token.substr(6), config.clock.driftPpb)) {
        error = "drift must be ppm within -1000..1000, at most 3 decimals";
        return false;
      }
    } else if (!config.options.Add(token, error)) {
      return false;
    }
  }
  error = backend->check(config);
  return error.empty();
}

DriverConfig DriverConfig::Parse(std::string_view text, const std::string& name,
                                 const std::filesystem::path& folder,
                                 std::vector<ConfigProblem>* problems) {
  DriverConfig config;
  std::vector<std::string> tokens;
  int lineNumber = 0;
  // A file that is no configuration at all would give a log line for each of its lines.
  std::size_t wrong = 0;
  const auto report = [&](const std::string& where, const std::string& reason) {
    if (problems)
      problems->push_back({lineNumber, reason});
    else if (++wrong <= kReportedLines)
      Report(where, reason);
  };
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    const std::string where = name + ":" + std::to_string(lineNumber);
    if (!SplitConfigLine(line, tokens)) {
      report(where, "unclosed quote");
      continue;
    }
    if (tokens.empty()) continue;
    std::string error;
    if (tokens[0] == "channel") {
      ChannelConfig channel;
      channel.folder = folder;
      channel.where = where;
      channel.line = lineNumber;
      if (config.ParseChannel(tokens, channel, error)) {
        config.m_channels.push_back(std::move(channel));
        continue;
      }
    } else if (tokens[0] == "generator") {
      ConfigOptions options;
      bool ok = tokens.size() >= 2 && tokens[1].find('=') == std::string::npos;
      if (!ok) error = "expected: generator <bus> key=value ...";
      for (std::size_t i = 2; ok && i < tokens.size(); ++i)
        ok = options.Add(tokens[i], error);
      if (ok) {
        if (auto generator = TrafficGenerator::Parse(options, error)) {
          config.m_generators.push_back({tokens[1], std::move(*generator), lineNumber});
          continue;
        }
      }
    } else {
      error = "expected 'channel' or 'generator', found " + mfc::QuoteToken(tokens[0]);
    }
    report(where, error);
  }
  if (wrong > kReportedLines)
    Report(name, std::to_string(wrong - kReportedLines) + " more lines in error left out");
  config.ReportUnheardGenerators(name, problems);
  return config;
}

void DriverConfig::ReportUnheardGenerators(const std::string& name,
                                           std::vector<ConfigProblem>* problems) const {
  for (const GeneratorConfig& g : m_generators) {
    bool used = false;
    for (const ChannelConfig& c : m_channels) {
      const std::string* bus = c.options.Find("bus");
      used = used || (c.backend == "virtual" &&
                      (bus ? std::string_view(*bus) : kDefaultVirtualBus) == g.bus);
    }
    if (used) continue;
    const std::string reason =
        "generator for bus " + mfc::QuoteToken(g.bus) + ", which no virtual channel uses";
    if (problems)
      problems->push_back({g.line, reason});
    else
      Report(name, reason);
  }
}

const ChannelConfig* DriverConfig::Find(int channel) const noexcept {
  for (const ChannelConfig& c : m_channels)
    if (c.channel == channel) return &c;
  return nullptr;
}

std::vector<TrafficGenerator> DriverConfig::GeneratorsOf(std::string_view bus) const {
  std::vector<TrafficGenerator> result;
  for (const GeneratorConfig& g : m_generators)
    if (g.bus == bus) result.push_back(g.generator);
  return result;
}

}  // namespace XeCanDriverKvaser::detail
