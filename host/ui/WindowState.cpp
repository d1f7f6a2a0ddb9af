#include "host/ui/WindowState.h"

#include <cstdio>

#include "host/mfc/CString.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace ui {

namespace {

constexpr const wchar_t* kSeaName = L"Window";

std::wstring Wide(const std::string& utf8) {
  return CString::FromUtf8(utf8).GetString();
}

std::string Narrow(const std::wstring& wide) {
  return CString(wide.c_str()).ToUtf8();
}

std::vector<std::wstring> Numbers(const std::vector<int>& values) {
  std::vector<std::wstring> parts;
  parts.reserve(values.size());
  for (const int v : values)
    parts.push_back(std::to_wstring(v));
  return parts;
}

// The parts as whole numbers of -99999..99999 (pixels); none when one is not.
std::vector<int> Ints(const std::vector<std::wstring>& parts) {
  std::vector<int> out;
  for (const std::wstring& part : parts) {
    long long value = 0;
    if (!mfc::ParseWholeNumber(Narrow(part), value, 10) || value < -99999 || value > 99999)
      return {};
    out.push_back(static_cast<int>(value));
  }
  return out;
}

std::wstring Hex(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", id);
  return Wide(text);
}

}  // namespace

host::SeaContent WindowState::Content() const {
  host::SeaContent content;
  if (!geometry.empty()) content.entries.push_back({L"Geometry", Numbers(geometry)});
  if (!chartSplit.empty()) content.entries.push_back({L"Chart split", Numbers(chartSplit)});
  if (!tab.empty()) content.entries.push_back({L"Tab", {Wide(tab)}});
  host::SeaContent::List signals{L"Charted signals", {}};
  for (const std::string& name : charted)
    signals.lines.push_back({Wide(name)});
  host::SeaContent::List list{L"Charted messages", {}};
  for (const Message& m : messages)
    list.lines.push_back({std::to_wstring(m.channel), Hex(m.id), Wide(m.signal)});
  content.lists = {signals, list};
  return content;
}

WindowState WindowState::From(const host::SeaContent& content) {
  WindowState state;
  for (const auto& entry : content.entries) {
    if (entry.name == L"Geometry" && entry.parts.size() == 4) state.geometry = Ints(entry.parts);
    if (entry.name == L"Chart split") state.chartSplit = Ints(entry.parts);
    if (entry.name == L"Tab" && entry.parts.size() == 1) state.tab = Narrow(entry.parts[0]);
  }
  for (const auto& list : content.lists) {
    for (const auto& line : list.lines) {
      if (list.name == L"Charted signals" && line.size() == 1)
        state.charted.push_back(Narrow(line[0]));
      long long channel = 0;
      long long id = 0;
      if (list.name == L"Charted messages" && line.size() == 3 &&
          mfc::ParseWholeNumber(Narrow(line[0]), channel, 10) && channel >= 0 && channel <= 255 &&
          mfc::ParseWholeNumber(Narrow(line[1]), id, 16) && id >= 0 && id <= 0xFFFFFFFFLL)
        state.messages.push_back(
            {static_cast<int>(channel), static_cast<std::uint32_t>(id), Narrow(line[2])});
    }
  }
  return state;
}

bool WindowState::Load(const std::filesystem::path& folder, WindowState& state,
                       std::string& error) {
  state = {};
  const std::filesystem::path file = folder / kFileName;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return true;
  std::wstring werror;
  const auto bytes = FileIO::ReadWholeFile(file, werror);
  if (!bytes) {
    error = Narrow(werror);
    return false;
  }
  host::SeaContent content;
  host::SeaError seaError;
  if (!host::SeaFile::Parse(*bytes, file, content, seaError)) {
    error = Narrow(seaError.ToString());
    return false;
  }
  state = From(content);
  return true;
}

bool WindowState::Save(const std::filesystem::path& folder, std::string& error) const {
  std::wstring werror;
  if (FileIO::WriteFileAtomic(folder / kFileName, host::SeaFile::Write(Content(), kSeaName),
                              werror))
    return true;
  error = Narrow(werror);
  return false;
}

}  // namespace ui
