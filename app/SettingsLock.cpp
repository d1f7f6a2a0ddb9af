#include "app/SettingsLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace app {
namespace {

// Longest description of the holder written to the lock file and shown.
constexpr std::size_t kMaxDescription = 120;

std::string Describe(const std::string& command) {
  std::string out = std::to_string(::getpid()) + " ";
  for (const char c : command) {
    if (out.size() >= kMaxDescription) break;
    out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  return out + "\n";
}

// What the lock file says of the process `pid`: "process 4711 (canhost run ...)".
std::string Holder(int fd, pid_t pid) {
  std::string text(kMaxDescription + 32, '\0');
  const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::string prefix = std::to_string(pid) + " ";
  std::string process = "process " + std::to_string(pid);
  if (!text.starts_with(prefix)) return process;
  const std::size_t end = text.find('\n');
  return process + " (" + text.substr(prefix.size(), end - prefix.size()) + ")";
}

}  // namespace

SettingsLock::~SettingsLock() {
  if (m_fd >= 0) ::close(m_fd);
}

bool SettingsLock::Acquire(const std::filesystem::path& folder, const std::string& command,
                           std::string& error) {
  std::error_code ec;
  if (!std::filesystem::create_directories(folder, ec) && ec) {
    error = folder.string() + ": cannot create the folder: " + ec.message();
    return false;
  }
  const std::filesystem::path file = folder / kFileName;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) {
    // Nothing can be saved on a read-only file system, so nothing can be lost either.
    if (errno == EROFS) return true;
    error = file.string() + ": cannot lock the settings folder: " + std::strerror(errno);
    return false;
  }
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_SETLK, &lock) != 0) {
    const int why = errno;
    if (why != EACCES && why != EAGAIN) {
      // A file system without locks: run as before there was one.
      ::close(fd);
      return true;
    }
    struct flock holder {};
    holder.l_type = F_WRLCK;
    holder.l_whence = SEEK_SET;
    const bool known = ::fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK;
    error = "settings folder " + folder.string() + " is in use by " +
            (known ? Holder(fd, holder.l_pid) : std::string("another process")) +
            "; one canhost at a time may use a settings folder";
    ::close(fd);
    return false;
  }
  const std::string description = Describe(command);
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, description.data(), description.size(), 0) !=
                                     static_cast<ssize_t>(description.size())) {
    // The lock holds without its description; a refused process then names only the pid.
  }
  m_fd = fd;
  return true;
}

}  // namespace app
