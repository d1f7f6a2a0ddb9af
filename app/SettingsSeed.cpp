#include "app/SettingsSeed.h"

#include "host/mfc/CString.h"
#include "host/settings/FileIO.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSeedingKind = "seeding";

std::string Why(const fs::path& path, const char* what, const std::error_code& ec) {
  return path.string() + ": " + what + ": " + ec.message();
}

// Writes the default into `temp`, a new folder; errors name `folder`, the one the user knows.
bool WriteDefault(const fs::path& temp, const fs::path& folder, std::string& error) {
  std::error_code ec;
  if (!fs::create_directory(temp, ec)) {
    error = Why(folder, "cannot create the folder",
                ec ? ec : std::make_error_code(std::errc::file_exists));
    return false;
  }
  for (const SettingsSeed::File& file : SettingsSeed::Files()) {
    std::wstring why;
    fs::create_directories((temp / file.name).parent_path(), ec);
    if (!FileIO::WriteFileAtomic(temp / file.name, file.text, why)) {
      error = (folder / file.name).string() + ": cannot write it (" + CString(why).ToUtf8() + ")";
      return false;
    }
  }
  return true;
}

}  // namespace

// The default is written into a temporary folder next to the settings folder and renamed into
// place, so a run killed while seeding leaves a temporary (removed by the next run), never a
// settings folder with half the files that every later run would take for the user's.
SettingsSeed::Result SettingsSeed::Seed(const fs::path& given, std::string& error) {
  const fs::path folder = given.has_filename() ? given : given.parent_path();
  std::error_code ec;
  if (fs::exists(folder, ec)) {
    if (!fs::is_directory(folder, ec)) {
      error = folder.string() + ": not a folder";
      return Result::Failed;
    }
    if (!fs::is_empty(folder, ec)) return Result::Existing;
  }
  if (ec) {
    error = Why(folder, "cannot read", ec);
    return Result::Failed;
  }
  const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
  if (!fs::create_directories(parent, ec) && ec) {
    error = Why(parent, "cannot create the folder", ec);
    return Result::Failed;
  }
  FileIO::RemoveStaleTemporaries(folder, kSeedingKind);
  const fs::path temp = FileIO::TemporaryName(folder, kSeedingKind);
  if (!WriteDefault(temp, folder, error)) {
    fs::remove_all(temp, ec);
    return Result::Failed;
  }
  // rename() replaces an empty folder; one that another run has filled meanwhile stays.
  fs::rename(temp, folder, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(temp, ignored);
    if (fs::is_directory(folder, ignored) && !fs::is_empty(folder, ignored))
      return Result::Existing;
    error = Why(folder, "cannot create the folder", ec);
    return Result::Failed;
  }
  return Result::Seeded;
}

}  // namespace app
