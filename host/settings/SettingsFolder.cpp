#include "host/settings/SettingsFolder.h"

#include <cstdlib>
#include <mutex>

#include "host/services/Host.h"

namespace host {
namespace {
struct FolderChoice {
  std::mutex mutex;
  std::filesystem::path chosen;  // empty: the environment decides
};
}  // namespace

std::filesystem::path SettingsFolder() {
  {
    auto& choice = CurrentHost().Get<FolderChoice>();
    std::lock_guard lock(choice.mutex);
    if (!choice.chosen.empty()) return choice.chosen;
  }
  if (const char* env = std::getenv("CANHOST_SETTINGS"); env && *env) return env;
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::filesystem::path(home) / ".config" / "canhost";
  return std::filesystem::current_path() / ".canhost";
}

void SetSettingsFolder(const std::filesystem::path& folder) {
  auto& choice = CurrentHost().Get<FolderChoice>();
  std::lock_guard lock(choice.mutex);
  choice.chosen = folder;
}

}  // namespace host
