// The channel window's model: reading the file into rows and kept lines, editing the rows, and
// writing the file back (the checks are in DriverConfigCheck.cpp).
#include "host/candriver/DriverConfigModel.h"

#include <algorithm>
#include <set>
#include <utility>

#include "host/candriver/ConfigOptions.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/DriverLog.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"
#include "host/settings/SettingsFolder.h"
#include "host/settings/SettingsResponder.h"

namespace XeCanDriverKvaser {

using detail::ConfigOptions;
using detail::DriverConfig;

namespace {

// The first lines of a file the window writes where there was none: the format at a glance, for
// whoever edits it by hand.
constexpr const char* kHeader[] = {
    "# CAN driver channels of canhost (format: canhost's README, \"CAN driver configuration\")",
    "# channel <0..255> <backend> [offset=<ticks of 125 us>] [drift=<ppm>] [option=value ...]",
    "#   virtual [bus=NAME] | replay file=LOG [interface=NAME] | socketcan interface=NAME",
    "# generator <virtual bus> id=<hex,...> period=<duration> [phase= length= data= fd= brs=]",
};

// A value as a line holds it: in double quotes when it is empty or holds a blank or a '#'.
std::string Quote(const std::string& value) {
  if (!value.empty() && value.find_first_of(" \t#") == std::string::npos) return value;
  return '"' + value + '"';
}

std::string_view Trim(std::string_view text) {
  return mfc::TrimBlanks(text);
}

// Whether a line can hold the text as a value.
bool Holdable(std::string_view text) {
  return text.find_first_of("\"\r\n") == std::string_view::npos;
}

struct Words {
  std::string_view word;
  std::string_view label;
};
constexpr Words kBackends[] = {
    {"virtual", "Virtual bus"},  // Backend::Virtual
    {"replay", "Log replay"},    // Backend::Replay
    {"socketcan", "SocketCAN"},  // Backend::SocketCan
};

}  // namespace

std::string_view DriverConfigModel::Word(Backend backend) noexcept {
  return kBackends[static_cast<int>(backend)].word;
}

std::string_view DriverConfigModel::Label(Backend backend) noexcept {
  return kBackends[static_cast<int>(backend)].label;
}

DriverConfigModel::DriverConfigModel(std::filesystem::path file) : m_file(std::move(file)) {
  std::error_code ec;
  m_exists = std::filesystem::exists(m_file, ec);
  if (!m_exists) {
    for (const char* line : kHeader)
      m_lines.push_back({Kind::Text, line, 0});
    const DriverConfig fallback = DriverConfig::Default();
    for (const auto& c : fallback.channels()) {
      Channel channel;
      channel.number = std::to_string(c.channel);
      AddChannel(std::move(channel));
    }
    return;
  }
  std::wstring why;
  const auto text = FileIO::ReadWholeFile(m_file, why);
  if (!text) {
    m_readError = mfc::NarrowUtf8(why);
    return;
  }
  Read(*text);
}

DriverConfigModel::DriverConfigModel(std::filesystem::path file, std::string_view text)
    : m_file(std::move(file)), m_exists(true) {
  Read(text);
}

void DriverConfigModel::Read(std::string_view text) {
  m_text = std::string(text);
  m_lines.clear();
  m_channels.clear();
  m_channelSlots.clear();
  m_generators.clear();
  m_generatorSlots.clear();
  m_finalNewline = text.empty() || text.back() == '\n';
  // The lines the driver takes: the others are kept as written.
  m_ignored.clear();
  const DriverConfig parsed =
      DriverConfig::Parse(text, m_file.string(), m_file.parent_path(), &m_ignored);
  std::set<int> taken;
  for (const auto& c : parsed.channels())
    taken.insert(c.line);
  for (const auto& g : parsed.generators())
    taken.insert(g.line);
  std::vector<std::string> tokens;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    Line line{Kind::Text, std::string(text.substr(0, end)), std::string::npos};
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (m_lines.empty()) m_crlf = line.text.ends_with('\r');
    const std::size_t index = m_lines.size();
    const int number = static_cast<int>(index) + 1;
    detail::SplitConfigLine(line.text, tokens, &line.comment);
    if (taken.count(number) != 0)
      line.kind = tokens[0] == "channel" ? Kind::Channel : Kind::Generator;
    m_lines.push_back(std::move(line));
    if (m_lines.back().kind == Kind::Channel) ReadChannel(index, tokens);
    if (m_lines.back().kind == Kind::Generator) ReadGenerator(index, tokens);
  }
  // What the driver said of the lines it takes (a generator nobody hears) is no reason to keep
  // them as written.
  std::erase_if(m_ignored,
                [&](const detail::ConfigProblem& p) { return taken.count(p.line) != 0; });
}

void DriverConfigModel::ReadChannel(std::size_t line, const std::vector<std::string>& tokens) {
  Channel c;
  c.number = tokens[1];
  for (const Backend b : {Backend::Virtual, Backend::Replay, Backend::SocketCan})
    if (tokens[2] == Word(b)) c.backend = b;
  for (std::size_t i = 3; i < tokens.size(); ++i) {
    const std::size_t eq = tokens[i].find('=');
    const std::string_view key = std::string_view(tokens[i]).substr(0, eq);
    const std::string value = tokens[i].substr(eq + 1);
    if (key == "bus") c.bus = value;
    if (key == "file") c.file = value;
    if (key == "interface") c.interface = value;
    if (key == "offset") c.offset = value;
    if (key == "drift") c.drift = value;
  }
  m_channelSlots.push_back({line, Format(c)});
  m_channels.push_back(std::move(c));
}

void DriverConfigModel::ReadGenerator(std::size_t line, const std::vector<std::string>& tokens) {
  Generator g;
  g.bus = tokens[1];
  g.period.clear();
  std::string* const fields[] = {&g.ids, &g.period, &g.phase, &g.length, &g.data, &g.fd, &g.brs};
  constexpr std::string_view keys[] = {"id", "period", "phase", "length", "data", "fd", "brs"};
  for (std::size_t i = 2; i < tokens.size(); ++i) {
    const std::size_t eq = tokens[i].find('=');
    const std::string_view key = std::string_view(tokens[i]).substr(0, eq);
    for (std::size_t k = 0; k < std::size(keys); ++k)
      if (key == keys[k]) *fields[k] = tokens[i].substr(eq + 1);
  }
  m_generatorSlots.push_back({line, Format(g)});
  m_generators.push_back(std::move(g));
}

std::string DriverConfigModel::Format(const Channel& c) {
  std::string line = "channel " + c.number + " " + std::string(Word(c.backend));
  switch (c.backend) {
    case Backend::Virtual:
      if (!c.bus.empty() && c.bus != detail::kDefaultVirtualBus) line += " bus=" + Quote(c.bus);
      break;
    case Backend::Replay:
      line += " file=" + Quote(c.file);
      if (!c.interface.empty()) line += " interface=" + Quote(c.interface);
      break;
    case Backend::SocketCan:
      line += " interface=" + Quote(c.interface);
      break;
  }
  if (!c.offset.empty() && c.offset != "0") line += " offset=" + c.offset;
  if (!c.drift.empty() && c.drift != "0") line += " drift=" + c.drift;
  return line;
}

std::string DriverConfigModel::Format(const Generator& g) {
  std::string line =
      "generator " + Quote(g.bus) + " id=" + Quote(g.ids) + " period=" + Quote(g.period);
  if (!g.phase.empty()) line += " phase=" + Quote(g.phase);
  if (!g.length.empty()) line += " length=" + Quote(g.length);
  if (!g.data.empty()) line += " data=" + Quote(g.data);
  if (!g.fd.empty() && g.fd != "0") line += " fd=" + Quote(g.fd);
  if (!g.brs.empty() && g.brs != "0") line += " brs=" + Quote(g.brs);
  return line;
}

std::string DriverConfigModel::LineOf(const std::string& formatted, const Slot& slot) const {
  if (!slot.line) return m_crlf ? formatted + '\r' : formatted;
  const Line& line = m_lines[*slot.line];
  if (formatted == slot.original) return line.text;
  if (line.comment == std::string::npos)
    return line.text.ends_with('\r') ? formatted + '\r' : formatted;
  // The comment stays where it was, after the blanks that led to it.
  std::size_t blanks = line.comment;
  while (blanks > 0 && (line.text[blanks - 1] == ' ' || line.text[blanks - 1] == '\t'))
    --blanks;
  const std::string gap =
      blanks == line.comment ? std::string(" ") : line.text.substr(blanks, line.comment - blanks);
  return formatted + gap + line.text.substr(line.comment);
}

DriverConfigModel::Landmarks DriverConfigModel::FindLandmarks() const {
  Landmarks marks;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == Kind::Channel) marks.lastChannel = i;
    if (m_lines[i].kind == Kind::Generator) marks.lastGenerator = i;
    if (m_lines[i].kind == Kind::Generator && !marks.firstGenerator) marks.firstGenerator = i;
  }
  return marks;
}

std::string DriverConfigModel::Text() const {
  std::vector<int> channels, generators;
  return Build(channels, generators);
}

std::string DriverConfigModel::Build(std::vector<int>& channelLines,
                                     std::vector<int>& generatorLines) const {
  channelLines.assign(m_channels.size(), 0);
  generatorLines.assign(m_generators.size(), 0);
  std::string out;
  int number = 0;
  bool lastIsLastLine = false;
  const auto emit = [&](const std::string& text) {
    out += text;
    out += '\n';
    ++number;
    lastIsLastLine = false;
  };
  const auto emitNew = [&](Kind kind) {
    const bool channels = kind == Kind::Channel;
    const std::size_t n = channels ? m_channels.size() : m_generators.size();
    for (std::size_t i = 0; i < n; ++i) {
      const Slot& slot = channels ? m_channelSlots[i] : m_generatorSlots[i];
      if (slot.line) continue;
      emit(LineOf(channels ? Format(m_channels[i]) : Format(m_generators[i]), slot));
      (channels ? channelLines : generatorLines)[i] = number;
    }
  };
  const Landmarks marks = FindLandmarks();
  const auto& [lastChannel, lastGenerator, firstGenerator] = marks;
  bool channelsDone = false, generatorsDone = false;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    if (!lastChannel && firstGenerator == i) {
      emitNew(Kind::Channel);
      channelsDone = true;
    }
    if (line.kind == Kind::Text) {
      emit(line.text);
      lastIsLastLine = i + 1 == m_lines.size();
    }
    const bool channel = line.kind == Kind::Channel;
    const auto& slots = channel ? m_channelSlots : m_generatorSlots;
    for (std::size_t r = 0; line.kind != Kind::Text && r < slots.size(); ++r) {
      if (slots[r].line != i) continue;
      emit(LineOf(channel ? Format(m_channels[r]) : Format(m_generators[r]), slots[r]));
      (channel ? channelLines : generatorLines)[r] = number;
      lastIsLastLine = i + 1 == m_lines.size();
    }
    if (lastChannel == i) {
      emitNew(Kind::Channel);
      channelsDone = true;
    }
    if (lastGenerator == i) {
      emitNew(Kind::Generator);
      generatorsDone = true;
    }
  }
  if (!channelsDone) emitNew(Kind::Channel);
  if (!generatorsDone) emitNew(Kind::Generator);
  // A file without a line feed at its end keeps it so while its last line is its last.
  if (!m_finalNewline && lastIsLastLine && !out.empty()) out.pop_back();
  return out;
}

int DriverConfigModel::FreeChannel(const std::vector<int>& alsoUsed) const {
  std::set<int> used(alsoUsed.begin(), alsoUsed.end());
  for (const Channel& c : m_channels) {
    std::int64_t n = -1;
    if (ConfigOptions::ParseInteger(c.number, n)) used.insert(static_cast<int>(n));
  }
  std::vector<std::string> tokens;
  for (const Line& line : m_lines) {
    std::int64_t n = -1;
    if (line.kind == Kind::Text && detail::SplitConfigLine(line.text, tokens) &&
        tokens.size() >= 2 && tokens[0] == "channel" && ConfigOptions::ParseInteger(tokens[1], n))
      used.insert(static_cast<int>(n));
  }
  int free = 0;
  while (used.count(free) != 0)
    ++free;
  return free;
}

std::size_t DriverConfigModel::AddChannel() {
  Channel channel;
  channel.number = std::to_string(FreeChannel());
  return AddChannel(std::move(channel));
}

std::size_t DriverConfigModel::AddChannel(Channel channel) {
  m_channels.push_back(std::move(channel));
  m_channelSlots.push_back({});
  return m_channels.size() - 1;
}

std::size_t DriverConfigModel::AddGenerator(Generator generator) {
  m_generators.push_back(std::move(generator));
  m_generatorSlots.push_back({});
  return m_generators.size() - 1;
}

bool DriverConfigModel::RemoveChannel(std::size_t row) {
  if (row >= m_channels.size()) return false;
  m_channels.erase(m_channels.begin() + static_cast<std::ptrdiff_t>(row));
  m_channelSlots.erase(m_channelSlots.begin() + static_cast<std::ptrdiff_t>(row));
  return true;
}

bool DriverConfigModel::RemoveGenerator(std::size_t row) {
  if (row >= m_generators.size()) return false;
  m_generators.erase(m_generators.begin() + static_cast<std::ptrdiff_t>(row));
  m_generatorSlots.erase(m_generatorSlots.begin() + static_cast<std::ptrdiff_t>(row));
  return true;
}

bool DriverConfigModel::SetChannel(std::size_t row, ChannelField field, std::string_view text) {
  text = Trim(text);
  if (row >= m_channels.size() || !Holdable(text) || field == BackendKind) return false;
  Channel& c = m_channels[row];
  std::string* const fields[] = {&c.number,    nullptr,   &c.bus,  &c.file,
                                 &c.interface, &c.offset, &c.drift};
  static_assert(std::size(fields) == kChannelFields);
  *fields[field] = std::string(text);
  return true;
}

bool DriverConfigModel::SetBackend(std::size_t row, Backend backend) {
  if (row >= m_channels.size()) return false;
  Channel& c = m_channels[row];
  // An interface means another thing to each backend.
  if (c.backend != backend) c.interface.clear();
  c.backend = backend;
  return true;
}

bool DriverConfigModel::SetGenerator(std::size_t row, GeneratorField field, std::string_view text) {
  text = Trim(text);
  if (row >= m_generators.size() || !Holdable(text)) return false;
  Generator& g = m_generators[row];
  std::string* const fields[] = {&g.bus,    &g.ids,  &g.period, &g.phase,
                                 &g.length, &g.data, &g.fd,     &g.brs};
  static_assert(std::size(fields) == kGeneratorFields);
  *fields[field] = std::string(text);
  return true;
}

std::string DriverConfigModel::RelativeFile(const std::filesystem::path& chosen) const {
  const std::filesystem::path relative =
      chosen.lexically_normal().lexically_relative(m_file.parent_path().lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return chosen.string();
  return relative.generic_string();
}

std::filesystem::path DriverConfigModel::ResolvedFile(const std::string& file) const {
  return m_file.parent_path() / file;
}

bool DriverConfigModel::Save(std::string& error) {
  if (!m_readError.empty()) {
    error = m_readError + "; not written over";
    return false;
  }
  const auto problems = Problems();
  if (!problems.empty()) {
    error = Describe(problems.front());
    if (problems.size() > 1) error += " (and " + std::to_string(problems.size() - 1) + " more)";
    return false;
  }
  const std::string text = Text();
  std::wstring why;
  if (!FileIO::WriteFileAtomic(m_file, text, why)) {
    error = mfc::NarrowUtf8(why);
    return false;
  }
  m_exists = true;
  Read(text);
  return true;
}

// Installed by the host's channel window when the UI starts: a new host starts with it.
ChannelSettingsResponder SetChannelSettingsResponder(ChannelSettingsResponder responder) {
  return XeCanAnalysis::SettingsResponder<DriverConfigModel>::Set(std::move(responder));
}

bool ShowChannelSettings() {
  const ChannelSettingsResponder responder =
      XeCanAnalysis::SettingsResponder<DriverConfigModel>::Current();
  if (!responder) {
    detail::Log(L"candriver: no window for the CAN channels in this host: edit " +
                (host::SettingsFolder() / DriverConfig::kFileName).wstring() + L" by hand");
    return false;
  }
  DriverConfigModel model(host::SettingsFolder() / DriverConfig::kFileName);
  return responder(model);
}

}  // namespace XeCanDriverKvaser
