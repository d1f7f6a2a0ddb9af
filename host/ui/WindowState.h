#pragma once
// What the main window remembers between runs of canhost ui, in the settings folder as the sea
// file kFileName (format: host/settings/SeaFile.h):
//
//   entry "Geometry" = "40", "30", "1100", "860"      x, y, width, height of the window
//   entry "Chart split" = "420", "660"                widths of the signal table and the chart
//   entry "Tab" = "Signals"                           the tab shown
//   list "Charted signals"                            the ticked signals, in the order ticked
//   line "Engine speed"
//   list "Charted messages"                           DBC signals charted from the message list
//   line "0", "7E8", "VehicleSpeed"                   channel, identifier (hex), signal
//
// An absent file is a window as it first opens; parts that do not read as numbers are left out.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/settings/SeaFile.h"

namespace ui {

struct WindowState {
  static constexpr const char* kFileName = "window.sea";

  struct Message {
    int channel = 0;
    std::uint32_t id = 0;  // bit 31: extended
    std::string signal;
    bool operator==(const Message&) const = default;
  };

  std::vector<int> geometry;    // x, y, width, height; empty: the window's default
  std::vector<int> chartSplit;  // table and chart widths; empty: the default
  std::string tab;              // title of the tab shown; empty: the first
  std::vector<std::string> charted;
  std::vector<Message> messages;
  bool operator==(const WindowState&) const = default;

  // [any] The sea's content, and back.
  host::SeaContent Content() const;
  static WindowState From(const host::SeaContent& content);
  // [ui] Reads kFileName in `folder`; false with `error` (file, line) when it cannot be read, the
  // state then as without the file.
  static bool Load(const std::filesystem::path& folder, WindowState& state, std::string& error);
  // [ui] Replaces kFileName in `folder` atomically; false with `error`.
  bool Save(const std::filesystem::path& folder, std::string& error) const;
};

}  // namespace ui
