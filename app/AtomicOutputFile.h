#pragma once
// A picture of canhost (--plot, plot -o) that appears whole or not at all: written into a
// temporary file beside its target ("<file>.tmp.<pid>.<n>") and renamed over it when closed; a
// file that is not closed, or whose writing failed, leaves the old one unchanged (the temporary of
// a killed run goes with the next write of that file). A symbolic link is followed (its target is
// replaced, the link stays); an existing file keeps its mode and owner. What cannot be replaced is
// written in place, as an OutputFile writes it: "-" (standard output), a FIFO, a device.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/OutputFile.h"

namespace app {

class AtomicOutputFile {
 public:
  AtomicOutputFile() = default;
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  // [ui] Creates the temporary file (or opens the target in place). False with one line in
  // `error`.
  bool Open(const std::filesystem::path& file, std::string& error);
  // [ui] Appends bytes; false once a write failed.
  bool Write(std::string_view bytes);
  // [ui] The stream to write to instead (a writer of a log format): the temporary file, or the
  // in-place output's stream, written out every MiB. Null unless open (owned by this object).
  std::FILE* stream();
  // [any] Whether writing can go on: open and nothing failed.
  bool good() const noexcept { return (m_out != nullptr || m_inPlace.good()) && !m_failed; }
  // [ui] Records a failure; Close then reports it and leaves the old file.
  void fail() noexcept { m_failed = true; }
  // [ui] Flushes, syncs and renames into place; nothing to do when not open. False with one line
  // in `error` (the temporary file is removed).
  bool Close(std::string& error);
  // [any] The in-place output, to compare with the others of a run (closed when the picture is
  // written atomically).
  const OutputFile& InPlace() const noexcept { return m_inPlace; }
  // [any] The file that is replaced (links followed); empty when written in place.
  const std::filesystem::path& Target() const noexcept { return m_target; }

 private:
  std::filesystem::path m_file;    // as given
  std::filesystem::path m_target;  // links followed
  std::filesystem::path m_temp;
  std::FILE* m_out = nullptr;
  OutputFile m_inPlace;
  bool m_failed = false;
};

}  // namespace app
