#include "app/RunOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace app {
namespace {

// The longest frame: the source module discards messages more than 2 s after a frame's start.
constexpr double kMaxFrameSeconds = 2.0;
constexpr double kMinFrameSeconds = 0.001;
constexpr unsigned kMaxSamplesPerFrame = 100000;
// The longest measurement, a year: frame counts and host clock times stay far from overflow.
constexpr double kMaxSeconds = 366.0 * 24 * 3600;

bool ParseDouble(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool ParseWhole(const std::string& text, long long& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// "CH=FILE" with CH 0..255 and an existing FILE.
bool ParseDbc(const std::string& value, RunOptions& options, std::string& error) {
  const auto eq = value.find('=');
  long long channel = -1;
  if (eq == std::string::npos || eq + 1 == value.size() ||
      !ParseWhole(value.substr(0, eq), channel) || channel < 0 || channel > 255) {
    error =
        "--dbc: " + mfc::QuoteToken(value) + " is not CHANNEL=FILE with a channel from 0 to 255";
    return false;
  }
  const std::filesystem::path file = value.substr(eq + 1);
  std::error_code ec;
  std::string why;
  if (!std::filesystem::exists(file, ec)) {
    error = "--dbc: " + file.string() + ": no such file";
    return false;
  }
  if (!FileIO::CheckInputFile(file, FileIO::kMaxDbcFileBytes, why)) {
    error = "--dbc: " + why;
    return false;
  }
  options.dbc[static_cast<int>(channel)] = file;
  return true;
}

// The options without a value; false for any other.
bool SetFlag(const std::string& option, RunOptions& options) {
  if (option == "--fast") {
    options.fast = true;
  } else if (option == "--quiet") {
    options.quiet = true;
  } else if (option == "--all-signals") {
    options.allSignals = true;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(const std::string& option) {
  static constexpr std::array<std::string_view, 12> kValued = {
      "--settings", "--seconds", "--replay", "--channel", "--sample-period", "--samples-per-frame",
      "--capture",  "--plugin",  "--dbc",    "--signals", "--plot",          "--size"};
  return std::find(kValued.begin(), kValued.end(), option) != kValued.end();
}

bool ParseSeconds(const std::string& value, RunOptions& options, std::string& error) {
  double seconds = 0.0;
  if (!ParseDouble(value, seconds) || !(seconds > 0.0)) {
    error = "--seconds: " + mfc::QuoteToken(value) + " is not a positive number";
    return false;
  }
  if (seconds > kMaxSeconds) {
    error = "--seconds: " + mfc::QuoteToken(value) + " is longer than a year (" +
            std::to_string(static_cast<long long>(kMaxSeconds)) + " s)";
    return false;
  }
  options.seconds = seconds;
  return true;
}

bool ParseSamplePeriod(const std::string& value, RunOptions& options, std::string& error) {
  if (!ParseDouble(value, options.samplePeriod) || !(options.samplePeriod > 0.0) ||
      options.samplePeriod > 1.0) {
    error = "--sample-period: " + mfc::QuoteToken(value) +
            " is not a number of seconds above 0 and up to 1";
    return false;
  }
  return true;
}

bool ParseSamplesPerFrame(const std::string& value, RunOptions& options, std::string& error) {
  long long n = 0;
  if (!ParseWhole(value, n) || n < 1 || n > kMaxSamplesPerFrame) {
    error = "--samples-per-frame: " + mfc::QuoteToken(value) + " is not a whole number from 1 to " +
            std::to_string(kMaxSamplesPerFrame);
    return false;
  }
  options.samplesPerFrame = static_cast<unsigned>(n);
  return true;
}

bool ParseChannel(const std::string& value, RunOptions& options, std::string& error) {
  long long n = 0;
  if (!ParseWhole(value, n) || n < 0 || n > 255) {
    error = "--channel: " + mfc::QuoteToken(value) + " is not a channel from 0 to 255";
    return false;
  }
  options.channel = static_cast<int>(n);
  return true;
}

// One option that takes a value, with its value.
bool SetValue(const std::string& option, const std::string& value, RunOptions& options,
              std::string& error) {
  if (option == "--settings") {
    options.settings = value;
  } else if (option == "--replay") {
    options.replay = value;
  } else if (option == "--capture") {
    options.capture = value;
  } else if (option == "--plugin") {
    options.plugin = value;
  } else if (option == "--signals") {
    options.signals = value;
  } else if (option == "--plot") {
    options.plot = value;
  } else if (option == "--size") {
    return RunOptions::ParseSize(value, options.plotWidth, options.plotHeight, error);
  } else if (option == "--dbc") {
    return ParseDbc(value, options, error);
  } else if (option == "--seconds") {
    return ParseSeconds(value, options, error);
  } else if (option == "--sample-period") {
    return ParseSamplePeriod(value, options, error);
  } else if (option == "--samples-per-frame") {
    return ParseSamplesPerFrame(value, options, error);
  } else {
    return ParseChannel(value, options, error);
  }
  return true;
}

}  // namespace

bool RunOptions::ParseSize(const std::string& value, int& width, int& height, std::string& error) {
  const auto x = value.find('x');
  long long w = 0;
  long long h = 0;
  if (x == std::string::npos || !ParseWhole(value.substr(0, x), w) ||
      !ParseWhole(value.substr(x + 1), h) || w < 200 || h < 150 || w > 10000 || h > 10000) {
    error =
        "--size: " + mfc::QuoteToken(value) + " is not WIDTHxHEIGHT from 200x150 to 10000x10000";
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

unsigned long long RunOptions::Frames() const noexcept {
  double length = kDefaultSeconds;
  if (seconds) {
    length = *seconds;
  } else if (!replay.empty()) {
    return 0;
  }
  // A length that is a whole number of frames up to rounding gives exactly that many.
  const double frames = std::ceil(length / FrameSeconds() - 1e-9);
  return frames < 1.0 ? 1ULL : static_cast<unsigned long long>(frames);
}

bool RunOptions::Parse(const std::vector<std::string>& args, RunOptions& options,
                       std::string& error) {
  bool channelGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (SetFlag(option, options)) continue;
    if (!TakesValue(option)) {
      error = "unknown option " + mfc::QuoteToken(option);
      return false;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = option + " needs a value";
      return false;
    }
    if (!SetValue(option, args[++i], options, error)) return false;
    channelGiven = channelGiven || option == "--channel";
  }
  if (channelGiven && options.replay.empty()) {
    error = "--channel needs --replay";
    return false;
  }
  const double frame = options.FrameSeconds();
  if (frame < kMinFrameSeconds - 1e-12 || frame > kMaxFrameSeconds + 1e-12) {
    error = "a frame (--sample-period x --samples-per-frame) must last from 0.001 to 2 s, not " +
            std::to_string(frame) + " s";
    return false;
  }
  return true;
}

}  // namespace app
