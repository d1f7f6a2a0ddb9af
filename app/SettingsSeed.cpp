#include "app/SettingsSeed.h"

#include "host/mfc/CString.h"
#include "host/settings/FileIO.h"

namespace app {

SettingsSeed::Result SettingsSeed::Seed(const std::filesystem::path& folder, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(folder, ec)) {
    if (!fs::is_directory(folder, ec)) {
      error = folder.string() + ": not a folder";
      return Result::Failed;
    }
    if (!fs::is_empty(folder, ec)) return Result::Existing;
  }
  if (ec) {
    error = folder.string() + ": " + ec.message();
    return Result::Failed;
  }
  for (const File& file : Files()) {
    std::wstring why;
    fs::create_directories((folder / file.name).parent_path(), ec);
    if (!FileIO::WriteFileAtomic(folder / file.name, file.text, why)) {
      error = (folder / file.name).string() + ": " + CString(why).ToUtf8();
      return Result::Failed;
    }
  }
  return Result::Seeded;
}

}  // namespace app
