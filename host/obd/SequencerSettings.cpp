#include "host/obd/SequencerSettings.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>

#include "host/mfc/Text.h"

namespace XeCanAnalysis {
namespace {

constexpr std::size_t kMaxPayload = 7;  // a request is one single frame
constexpr int kMaxTimerMs = 60000;

std::optional<unsigned> ParseNumber(std::string_view text, int base) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Why a request line is wrong, or nothing.
struct Failure {
  SequencerSettingsError error;
  std::string text;
};

std::optional<Failure> ParseOption(std::string_view word, SequencerRequest& request) {
  const auto eq = word.find('=');
  const std::string_view key = word.substr(0, eq);
  const std::string_view value = eq == std::string_view::npos ? "" : word.substr(eq + 1);
  if (key == "st") {
    const auto ms = ParseNumber(value, 10);
    const auto us = value.size() == 2 && (value[0] == 'F' || value[0] == 'f')
                        ? ParseNumber(value, 16)
                        : std::nullopt;
    if (ms && *ms <= 127) {
      request.separation = static_cast<std::uint8_t>(*ms);
      return std::nullopt;
    }
    if (us && *us >= 0xF1 && *us <= 0xF9) {
      request.separation = static_cast<std::uint8_t>(*us);
      return std::nullopt;
    }
    return Failure{SequencerSettingsError::BadOption,
                   "st=" + mfc::QuoteToken(value) + ": 0..127 (ms) or F1..F9 (100..900 us)"};
  }
  if (key == "bs") {
    const auto n = ParseNumber(value, 10);
    if (n && *n <= 255) {
      request.blockSize = static_cast<std::uint8_t>(*n);
      return std::nullopt;
    }
    return Failure{SequencerSettingsError::BadOption, "bs=" + mfc::QuoteToken(value) + ": 0..255"};
  }
  return Failure{SequencerSettingsError::BadOption,
                 "unknown option " + mfc::QuoteToken(key) + " (known: st, bs)"};
}

// words: <id> <payload bytes...> [options...]
std::optional<Failure> ParseRequest(const std::vector<std::string_view>& words,
                                    SequencerRequest& request) {
  if (words.size() < 3)
    return Failure{SequencerSettingsError::BadPayload, "needs an identifier and a payload"};
  const auto id = ParseNumber(words[1], 16);
  if (!id || *id > 0x7FF)
    return Failure{SequencerSettingsError::BadIdentifier,
                   "identifier " + mfc::QuoteToken(words[1]) + " is not an 11-bit hex identifier"};
  request.id = *id;
  std::string hex;
  std::size_t i = 2;
  for (; i < words.size() && words[i].find('=') == std::string_view::npos; ++i)
    hex += words[i];
  if (hex.size() % 2 != 0)
    return Failure{SequencerSettingsError::BadPayload, "payload has an odd number of hex digits"};
  for (std::size_t k = 0; k < hex.size(); k += 2) {
    const auto byte = ParseNumber(std::string_view(hex).substr(k, 2), 16);
    if (!byte)
      return Failure{SequencerSettingsError::BadPayload,
                     "payload is not hex: " + mfc::QuoteToken(hex)};
    request.payload.push_back(static_cast<std::uint8_t>(*byte));
  }
  if (request.payload.empty() || request.payload.size() > kMaxPayload)
    return Failure{
        SequencerSettingsError::BadPayload,
        "payload of " + std::to_string(request.payload.size()) + " bytes (a request holds 1..7)"};
  for (; i < words.size(); ++i)
    if (auto failure = ParseOption(words[i], request)) return failure;
  return std::nullopt;
}

std::string RequestText(const char* keyword, const SequencerRequest& r) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s %03X ", keyword, static_cast<unsigned>(r.id));
  std::string line = buffer;
  for (const std::uint8_t b : r.payload) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    line += buffer;
  }
  if (r.separation >= 0xF1) {
    std::snprintf(buffer, sizeof buffer, " st=%02X", r.separation);
    line += buffer;
  } else if (r.separation != 0) {
    line += " st=" + std::to_string(r.separation);
  }
  if (r.blockSize != 0) line += " bs=" + std::to_string(r.blockSize);
  return line + "\n";
}

}  // namespace

SequencerSettings SequencerSettings::Parse(std::string_view text) {
  SequencerSettings settings;
  int number = 0;
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ++number;
    line = mfc::TrimBlanks(line.substr(0, line.find('#')));
    mfc::SplitBlanks(line, words);
    if (words.empty()) continue;
    const auto fail = [&](Failure f) {
      settings.problems.push_back({number, f.error, std::move(f.text)});
    };
    if (words[0] == "timer") {
      const auto ms = words.size() == 2 ? ParseNumber(words[1], 10) : std::nullopt;
      if (!ms || *ms < 1 || *ms > kMaxTimerMs)
        fail({SequencerSettingsError::BadTimer, "timer takes 1..60000 (ms)"});
      else
        settings.timerMs = static_cast<int>(*ms);
    } else if (words[0] == "regular" || words[0] == "oneshot") {
      SequencerRequest request;
      if (auto failure = ParseRequest(words, request))
        fail(std::move(*failure));
      else
        (words[0] == "regular" ? settings.regular : settings.oneShot).push_back(request);
    } else {
      fail({SequencerSettingsError::UnknownKeyword,
            "unknown keyword " + mfc::QuoteToken(words[0]) + " (known: timer, regular, oneshot)"});
    }
  }
  return settings;
}

SequencerSettings SequencerSettings::Defaults() {
  SequencerSettings s;
  s.regular = {{0x7DF, {0x01, 0x0C}}, {0x7DF, {0x01, 0x0D}}, {0x7DF, {0x01, 0x05}}};
  s.oneShot = {{0x7DF, {0x09, 0x02}}};
  return s;
}

std::string SequencerSettings::Text() const {
  std::string text =
      "# OBD-II tester requests, one per line:\n"
      "#   timer <ms>                                period of the regular requests\n"
      "#   regular <id> <payload> [st=<sep>] [bs=<n>] in turn, one per period\n"
      "#   oneshot <id> <payload> [st=<sep>] [bs=<n>] once per one-shot action\n"
      "# id and payload in hex; st= and bs= are the flow control for multi-frame answers.\n";
  text += "timer " + std::to_string(timerMs) + "\n";
  for (const auto& r : regular)
    text += RequestText("regular", r);
  for (const auto& r : oneShot)
    text += RequestText("oneshot", r);
  return text;
}

std::filesystem::path SequencerSettingsFile(const std::filesystem::path& folder,
                                            const std::wstring& name) {
  return folder / std::filesystem::path(name + L".sequencer");
}

}  // namespace XeCanAnalysis
