#include "host/settings/FileIO.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace FileIO {
namespace {

std::wstring Describe(const std::filesystem::path& file, const char* what, int err) {
  return file.wstring() + L": " + mfc::WidenUtf8(what) + L": " + mfc::WidenUtf8(std::strerror(err));
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

// What a file that is not a regular one is, for messages.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string NotRegular(const std::filesystem::path& file, mode_t mode) {
  if (S_ISDIR(mode)) return file.string() + ": is a folder, not a file";
  return file.string() + ": is " + KindOf(mode) + ", not a regular file";
}

std::string Bytes(std::uintmax_t limit) {
  return limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " MiB"
                                 : std::to_string(limit) + " bytes";
}

std::string TooLarge(const std::filesystem::path& file, std::uintmax_t size, std::uintmax_t limit) {
  return file.string() + ": " + std::to_string(size) + " bytes, more than the " + Bytes(limit) +
         " such a file may have";
}

// The process of a temporary whose name, after the target's name and the kind, is
// "<pid>.<n>"; 0 when it is no such name.
long TemporaryPid(std::string_view rest) {
  const std::size_t digits = rest.find_first_not_of("0123456789");
  if (digits == 0 || digits == std::string_view::npos || rest[digits] != '.' || digits > 9)
    return 0;
  const std::string_view serial = rest.substr(digits + 1);
  if (serial.empty() || serial.find_first_not_of("0123456789") != std::string_view::npos) return 0;
  return std::stol(std::string(rest.substr(0, digits)));
}

// Whether that is a temporary of a process that is gone.
bool StaleSuffix(std::string_view rest) {
  const long pid = TemporaryPid(rest);
  return pid > 0 && ProcessGone(pid);
}

constexpr std::array<std::string_view, 2> kTemporaryKinds = {".tmp.", ".seeding."};

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
    if (!StaleSuffix(std::string_view(name).substr(prefix.size()))) continue;
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
  }
}

bool IsTemporaryName(std::string_view name) {
  for (const std::string_view kind : kTemporaryKinds) {
    const std::size_t at = name.rfind(kind);
    if (at != std::string_view::npos && at != 0 && TemporaryPid(name.substr(at + kind.size())) > 0)
      return true;
  }
  return false;
}

void RemoveStaleTemporariesIn(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (const std::string_view kind : kTemporaryKinds) {
      // The last occurrence: a target's own name may hold the kind ("a.tmp.sea.tmp.12.0").
      const std::size_t at = name.rfind(kind);
      if (at == std::string::npos || at == 0) continue;
      if (!StaleSuffix(std::string_view(name).substr(at + kind.size()))) continue;
      std::error_code removeError;
      fs::remove_all(it->path(), removeError);
      break;
    }
  }
}

CString makePathAbsolute(const CString& path, const CString& base) {
  const std::filesystem::path p(path.str());
  if (p.is_absolute()) return CString(p.wstring());
  return CString((std::filesystem::path(base.str()) / p).lexically_normal().wstring());
}

bool CheckInputFile(const std::filesystem::path& file, std::uintmax_t limit, std::string& error) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    error = file.string() + ": cannot open: " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = NotRegular(file, st.st_mode);
    return false;
  }
  const auto size = static_cast<std::uintmax_t>(st.st_size);
  if (limit != 0 && size > limit) {
    error = TooLarge(file, size, limit);
    return false;
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::wstring& error,
                                         std::uintmax_t limit) {
  // Opened without blocking, so that a FIFO does not wait for a writer; what it is is known only
  // from the open file (a check of the path before would race with a change of the file).
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = Describe(file, "cannot open", errno);
    return std::nullopt;
  }
  struct stat st {};
  std::string why;
  if (::fstat(fd, &st) != 0) {
    why = file.string() + ": cannot read: " + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    why = NotRegular(file, st.st_mode);
  } else if (static_cast<std::uintmax_t>(st.st_size) > limit) {
    why = TooLarge(file, static_cast<std::uintmax_t>(st.st_size), limit);
  }
  std::string bytes;
  if (why.empty()) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    // One byte more than the size: a file that grew meanwhile is read on up to the limit.
    for (;;) {
      if (got == bytes.size()) {
        if (bytes.size() > limit) break;
        bytes.resize(std::min<std::size_t>(limit + 1, std::max<std::size_t>(got * 2, 4096)));
      }
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        why = file.string() + ": cannot read: " + std::strerror(errno);
        break;
      }
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    if (why.empty() && got > limit) why = TooLarge(file, got, limit);
  }
  ::close(fd);
  if (!why.empty()) {
    error = mfc::WidenUtf8(why);
    return std::nullopt;
  }
  return bytes;
}

std::filesystem::path FollowLinks(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  fs::path at = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
    const fs::path target = fs::read_symlink(at, ec);
    if (ec) return at;
    at = target.is_absolute() ? target : (at.parent_path() / target).lexically_normal();
  }
  return at;
}

bool WriteFileAtomic(const std::filesystem::path& given, std::string_view bytes,
                     std::wstring& error) {
  // A link stays a link: its target is what the user keeps the file in.
  const std::filesystem::path file = FollowLinks(given);
  std::error_code ec;
  if (file.has_parent_path() && !std::filesystem::create_directories(file.parent_path(), ec) &&
      ec) {
    error = Describe(file.parent_path(), "cannot create the folder", ec.value());
    return false;
  }
  struct stat old {};
  const bool exists = ::stat(file.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    error = mfc::WidenUtf8(NotRegular(file, old.st_mode) + "; not replaced");
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
  // The replacement keeps what the user gave the file: its mode, and its owner where this process
  // may give it (root, or the owner itself).
  if (exists) {
    ::fchmod(fd, old.st_mode & 07777);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not allowed for another user's file; the mode is what matters for who may read it.
    }
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
