#include "app/AtomicOutputFile.h"

#include "host/settings/FileIO.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace app {

AtomicOutputFile::~AtomicOutputFile() {
  if (m_out == nullptr) return;
  std::fclose(m_out);
  std::error_code ec;
  std::filesystem::remove(m_temp, ec);
}

bool AtomicOutputFile::Open(const std::filesystem::path& file, std::string& error) {
  m_file = file;
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = file.string() + ": is a folder, not a file";
    return false;
  }
  // A run killed while writing leaves its temporary behind; the next run cleans it.
  FileIO::RemoveStaleTemporaries(file, "tmp");
  m_temp = FileIO::TemporaryName(file, "tmp");
  m_out = std::fopen(m_temp.c_str(), "wb");
  if (m_out == nullptr) {
    error = file.string() + ": cannot write: " + std::system_category().message(errno);
    return false;
  }
  return true;
}

bool AtomicOutputFile::Close(std::string& error) {
  if (m_out == nullptr) return true;
  bool ok = !m_failed && std::fflush(m_out) == 0 && ::fsync(::fileno(m_out)) == 0;
  const int writeError = errno;
  ok = std::fclose(m_out) == 0 && ok;
  m_out = nullptr;
  std::error_code ec;
  if (ok) std::filesystem::rename(m_temp, m_file, ec);
  if (ok && !ec) return true;
  error = m_file.string() +
          ": cannot write: " + (ec ? ec.message() : std::system_category().message(writeError));
  std::filesystem::remove(m_temp, ec);
  return false;
}

}  // namespace app
