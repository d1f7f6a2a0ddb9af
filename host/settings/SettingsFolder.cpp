#include "host/settings/SettingsFolder.h"

#include <cstdlib>
#include <mutex>

namespace host {
namespace {
std::mutex g_mutex;
std::filesystem::path g_override;
}  // namespace

std::filesystem::path SettingsFolder() {
  {
    std::lock_guard lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  if (const char* env = std::getenv("CANHOST_SETTINGS"); env && *env) return env;
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::filesystem::path(home) / ".config" / "canhost";
  return std::filesystem::current_path() / ".canhost";
}

void SetSettingsFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(g_mutex);
  g_override = folder;
}

}  // namespace host
