#include "host/settings/FileIO.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace FileIO {
namespace {

std::wstring Describe(const std::filesystem::path& file, const char* what, int err) {
  return file.wstring() + L": " + mfc::WidenUtf8(what) + L": " +
         mfc::WidenUtf8(std::system_category().message(err));
}

// Writes all bytes, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Whether no process with that id runs (a process of another user still counts as running).
bool ProcessGone(long pid) {
  return pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

}  // namespace

std::filesystem::path TemporaryName(const std::filesystem::path& target, const char* kind) {
  static std::atomic<unsigned> serial{0};
  return target.string() + "." + kind + "." + std::to_string(::getpid()) + "." +
         std::to_string(serial++);
}

void RemoveStaleTemporaries(const std::filesystem::path& target, const char* kind) {
  namespace fs = std::filesystem;
  const std::string prefix = target.filename().string() + "." + kind + ".";
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const std::size_t digits = rest.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || rest[digits] != '.' || digits > 9) continue;
    if (!ProcessGone(std::stol(rest.substr(0, digits)))) continue;
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
  }
}

CString makePathAbsolute(const CString& path, const CString& base) {
  const std::filesystem::path p(path.str());
  if (p.is_absolute()) return CString(p.wstring());
  return CString((std::filesystem::path(base.str()) / p).lexically_normal().wstring());
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::wstring& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = file.wstring() + L": is a folder, not a file";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = Describe(file, "cannot open", errno);
    return std::nullopt;
  }
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) {
    error = Describe(file, "cannot read", errno);
    return std::nullopt;
  }
  return std::move(out).str();
}

bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes,
                     std::wstring& error) {
  std::error_code ec;
  if (file.has_parent_path() && !std::filesystem::create_directories(file.parent_path(), ec) &&
      ec) {
    error = Describe(file.parent_path(), "cannot create the folder", ec.value());
    return false;
  }
  RemoveStaleTemporaries(file, "tmp");
  // Unique per process and call, so two writers never share a temporary file.
  const std::filesystem::path temp = TemporaryName(file, "tmp");
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = Describe(temp, "cannot create", errno);
    return false;
  }
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const int writeErr = errno;
  if (::close(fd) != 0 || !written) {
    error = Describe(temp, "cannot write", written ? errno : writeErr);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    error = Describe(file, "cannot replace", errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace FileIO
