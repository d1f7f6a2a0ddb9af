#include "app/AtomicOutputFile.h"

#include "host/settings/FileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace app {

AtomicOutputFile::~AtomicOutputFile() {
  if (m_out == nullptr) return;
  std::fclose(m_out);
  std::error_code ec;
  std::filesystem::remove(m_temp, ec);
}

bool AtomicOutputFile::Open(const std::filesystem::path& file, std::string& error) {
  m_file = file;
  struct stat st {};
  struct stat out {};
  const bool exists = file.native() != "-" && ::stat(file.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    error = file.string() + ": is a folder, not a file";
    return false;
  }
  const bool isStdout = exists && ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev &&
                        out.st_ino == st.st_ino;
  if (file.native() == "-" || (exists && !S_ISREG(st.st_mode)) || isStdout)
    return m_inPlace.Open(file, error) && m_inPlace.Begin(error);
  m_target = FileIO::FollowLinks(file);
  // A run killed while writing leaves its temporary behind; the next run cleans it.
  FileIO::RemoveStaleTemporaries(m_target, "tmp");
  m_temp = FileIO::TemporaryName(m_target, "tmp");
  m_out = std::fopen(m_temp.c_str(), "wbx");
  if (m_out == nullptr) {
    error = file.string() + ": cannot write: " + std::strerror(errno);
    return false;
  }
  // The replacement keeps what the user gave the file: its mode and, where allowed, its owner.
  if (exists) {
    ::fchmod(::fileno(m_out), st.st_mode & 07777);
    if (::fchown(::fileno(m_out), st.st_uid, st.st_gid) != 0) {
      // Another user's file in a folder of this one: the mode stays, the owner cannot.
    }
  }
  return true;
}

std::FILE* AtomicOutputFile::stream() {
  if (m_out != nullptr) return m_out;
  // Not written frame by frame: the text goes out as it grows.
  m_inPlace.FlushEvery(std::size_t{1} << 20);
  return m_inPlace.Stream();
}

bool AtomicOutputFile::Write(std::string_view bytes) {
  if (!good()) return false;
  if (m_out == nullptr) {
    m_inPlace.Append(bytes);
    if (!m_inPlace.Flush()) m_failed = true;
  } else if (std::fwrite(bytes.data(), 1, bytes.size(), m_out) != bytes.size()) {
    m_failed = true;
  }
  return !m_failed;
}

bool AtomicOutputFile::Close(std::string& error) {
  if (m_out == nullptr) {
    const bool ok = m_inPlace.Close(error);
    if (ok && m_failed) error = m_file.string() + ": not written";
    return ok && !m_failed;
  }
  bool ok = !m_failed && std::fflush(m_out) == 0 && ::fsync(::fileno(m_out)) == 0;
  const int writeError = errno;
  ok = std::fclose(m_out) == 0 && ok;
  m_out = nullptr;
  std::error_code ec;
  if (ok) std::filesystem::rename(m_temp, m_target, ec);
  if (ok && !ec) return true;
  error = m_file.string() +
          ": cannot write: " + (ec ? ec.message() : std::string(std::strerror(writeError)));
  std::filesystem::remove(m_temp, ec);
  return false;
}

}  // namespace app
