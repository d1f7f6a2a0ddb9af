#pragma once
// An output file of canhost run that appears whole or not at all: written into a temporary file
// beside it ("<file>.tmp-<pid>") and renamed into place when closed; a file that is not closed,
// or whose writing failed, leaves nothing behind and the old file unchanged.
#include <cstdio>
#include <filesystem>
#include <string>

namespace app {

class AtomicOutputFile {
 public:
  AtomicOutputFile() = default;
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  // [ui] Creates the temporary file. False with one line in `error`.
  bool Open(const std::filesystem::path& file, std::string& error);
  // [any] The stream to write to, null unless open (owned by this object).
  std::FILE* stream() const noexcept { return m_out; }
  // [any] Whether writing can go on: open and nothing failed.
  bool good() const noexcept { return m_out != nullptr && !m_failed; }
  // [processing] Records a failed write; Close reports it.
  void fail() noexcept { m_failed = true; }
  // [ui] Flushes, syncs and renames into place; nothing to do when not open. False with one line
  // in `error` (the temporary file is removed).
  bool Close(std::string& error);

 private:
  std::filesystem::path m_file;
  std::filesystem::path m_temp;
  std::FILE* m_out = nullptr;
  bool m_failed = false;
};

}  // namespace app
