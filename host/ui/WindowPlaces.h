#pragma once
// Where each dialog window was and how large, as it was last closed, kept in a file of the
// settings folder (windows.conf), so a dialog opens again where the person left it. One line per
// window, by the view's name of it:
//   # canhost: the places of the dialog windows as they were last closed
//   dialog1000 140 96 702 261   -> "CAN-Bus" (template 1000): at (140, 96), 702 x 261 pixels
//   dialog30300 -5 20 900 600   -> a window partly off the left edge of the screen
//   dialog2000 10 10            -> not a place: left out (and dropped at the next save)
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace ui {

class WindowPlaces {
 public:
  struct Place {
    int x = 0, y = 0;           // the window's top left corner on the screen, pixels
    int width = 0, height = 0;  // its client area, pixels (above 0)
    bool operator==(const Place&) const = default;
  };

  // [ui] Reads `file`; missing or unreadable: no places.
  explicit WindowPlaces(std::filesystem::path file);
  // [ui] The place of window `name`, if it was kept.
  std::optional<Place> Find(const std::string& name) const;
  // [ui] Keeps the place of window `name` (a name without blanks).
  void Set(const std::string& name, const Place& place);
  // [ui] Writes the file atomically; false with `error`.
  bool Save(std::string& error) const;
  const std::filesystem::path& Path() const noexcept { return m_file; }

 private:
  std::filesystem::path m_file;
  std::map<std::string, Place> m_places;
};

}  // namespace ui
