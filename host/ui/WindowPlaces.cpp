#include "host/ui/WindowPlaces.h"

#include <sstream>

#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace ui {

WindowPlaces::WindowPlaces(std::filesystem::path file) : m_file(std::move(file)) {
  std::wstring why;
  const auto text = FileIO::ReadWholeFile(m_file, why);
  if (!text) return;
  std::istringstream lines(*text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name;
    Place p;
    std::string rest;
    if (words >> name >> p.x >> p.y >> p.width >> p.height && !(words >> rest) && p.width > 0 &&
        p.height > 0)
      m_places[name] = p;
  }
}

std::optional<WindowPlaces::Place> WindowPlaces::Find(const std::string& name) const {
  const auto it = m_places.find(name);
  if (it == m_places.end()) return std::nullopt;
  return it->second;
}

void WindowPlaces::Set(const std::string& name, const Place& place) {
  if (name.empty() || name.find_first_of(" \t\n#") != std::string::npos) return;
  m_places[name] = place;
}

bool WindowPlaces::Save(std::string& error) const {
  std::string text = "# canhost: the places of the dialog windows as they were last closed\n";
  for (const auto& [name, p] : m_places)
    text += name + " " + std::to_string(p.x) + " " + std::to_string(p.y) + " " +
            std::to_string(p.width) + " " + std::to_string(p.height) + "\n";
  std::wstring why;
  if (FileIO::WriteFileAtomic(m_file, text, why)) return true;
  error = mfc::NarrowUtf8(why);
  return false;
}

}  // namespace ui
