#pragma once
// The host's settings folder: the seas, the driver configuration, the managed side's medium and
// the decoders' configuration live there. Chosen, in this order, by:
//   SetSettingsFolder(dir)          (canhost --settings DIR)
//   $CANHOST_SETTINGS
//   $HOME/.config/canhost
#include <filesystem>

namespace host {

// [any] The folder in force (not created by this call).
std::filesystem::path SettingsFolder();
// [ui] Overrides the folder for the current host (empty path: back to the defaults).
void SetSettingsFolder(const std::filesystem::path& folder);

}  // namespace host
