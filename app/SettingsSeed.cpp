#include "app/SettingsSeed.h"

#include <fcntl.h>
#include <unistd.h>

#include "app/SettingsLock.h"
#include "host/mfc/CString.h"
#include "host/settings/FileIO.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::string Why(const fs::path& path, const char* what, const std::error_code& ec) {
  return path.string() + ": " + what + ": " + ec.message();
}

// Flushes the folder's entries (the renames of the files into it) to disk.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Removes what a seeding writes (the files of the default, the folders it made when they are
// empty, the marker).
void RemoveDefault(const fs::path& folder) {
  std::error_code ec;
  for (const SettingsSeed::File& file : SettingsSeed::Files()) {
    fs::remove(folder / file.name, ec);
    const fs::path parent = (folder / file.name).parent_path();
    if (parent != folder && fs::is_empty(parent, ec)) fs::remove(parent, ec);
  }
  fs::remove(folder / SettingsSeed::kMarker, ec);
}

// Whether the folder holds anything of a user's: the lock file and temporaries do not count.
bool HoldsAnything(const fs::path& folder, std::error_code& ec) {
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name != SettingsLock::kFileName && !FileIO::IsTemporaryName(name)) return true;
  }
  return false;
}

bool WriteDefault(const fs::path& folder, std::string& error) {
  std::error_code ec;
  const fs::path marker = folder / SettingsSeed::kMarker;
  std::wstring why;
  if (!FileIO::WriteFileAtomic(marker, "a seeding of this folder did not finish\n", why)) {
    error = folder.string() + ": cannot write into the folder (" + CString(why).ToUtf8() + ")";
    return false;
  }
  for (const SettingsSeed::File& file : SettingsSeed::Files()) {
    fs::create_directories((folder / file.name).parent_path(), ec);
    if (!FileIO::WriteFileAtomic(folder / file.name, file.text, why)) {
      error = (folder / file.name).string() + ": cannot write it (" + CString(why).ToUtf8() + ")";
      return false;
    }
  }
  SyncFolder(folder);
  for (const SettingsSeed::File& file : SettingsSeed::Files())
    if (const fs::path parent = (folder / file.name).parent_path(); parent != folder)
      SyncFolder(parent);
  if (!fs::remove(marker, ec)) {
    error = Why(marker, "cannot remove it", ec);
    return false;
  }
  SyncFolder(folder);
  return true;
}

}  // namespace

SettingsSeed::Result SettingsSeed::Seed(const fs::path& given, std::string& error) {
  const fs::path folder = given.has_filename() ? given : given.parent_path();
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) {
    error = folder.string() + ": not a folder";
    return Result::Failed;
  }
  if (!fs::create_directories(folder, ec) && ec) {
    error = Why(folder, "cannot create the folder", ec);
    return Result::Failed;
  }
  // Temporaries of killed runs: earlier versions seeded into a folder beside this one.
  FileIO::RemoveStaleTemporaries(folder, "seeding");
  // And of every file canhost writes here, the decoders' configurations included.
  FileIO::RemoveStaleTemporariesIn(folder);
  FileIO::RemoveStaleTemporariesIn(folder / "decoders");
  if (fs::exists(folder / kMarker, ec)) RemoveDefault(folder);
  const bool holds = HoldsAnything(folder, ec);
  if (ec) {
    error = Why(folder, "cannot read", ec);
    return Result::Failed;
  }
  if (holds) return Result::Existing;
  if (!WriteDefault(folder, error)) {
    RemoveDefault(folder);
    return Result::Failed;
  }
  return Result::Seeded;
}

}  // namespace app
