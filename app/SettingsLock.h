#pragma once
// One canhost at a time per settings folder. canhost run and canhost ui hold an advisory lock
// (fcntl) on "<folder>/canhost.lock" from before the folder is seeded or read until they end; a
// second process on that folder is refused with the folder and the process that holds it:
//   settings folder /home/u/.config/canhost is in use by process 4711 (canhost run --seconds 60);
//   one canhost at a time may use a settings folder
// The lock goes with the process, however it ends (a killed run leaves no stale lock); the file
// stays and says who held it last. A folder where the lock file cannot be made because the file
// system is read-only is used without the lock: no run can save there anyway.
#include <filesystem>
#include <string>

namespace app {

class SettingsLock {
 public:
  // Name of the lock file in the settings folder.
  static constexpr const char* kFileName = "canhost.lock";

  SettingsLock() = default;
  ~SettingsLock();  // releases the lock
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;

  // [ui] Creates `folder` when missing and locks it for this process, which `command` describes
  // ("canhost run --seconds 60"). False with one line in `error`: the holder, or why the folder
  // cannot be made or locked.
  bool Acquire(const std::filesystem::path& folder, const std::string& command, std::string& error);

 private:
  int m_fd = -1;
};

}  // namespace app
