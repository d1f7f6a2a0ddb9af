#include "app/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "host/settings/FileIO.h"

namespace app {
namespace {

constexpr int kOpenFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr auto kFifoRetry = std::chrono::milliseconds(50);

bool IsDash(const std::filesystem::path& path) {
  return path.native() == "-";
}

}  // namespace

std::timed_mutex& OutputFile::WriteLock() noexcept {
  static std::timed_mutex lock;
  return lock;
}

OutputFile::~OutputFile() {
  std::string ignored;
  Close(ignored);
}

std::string OutputFile::Why(int err) const {
  return (IsDash(m_path) ? std::string("standard output") : m_path.string()) +
         ": cannot write: " + std::strerror(err);
}

bool OutputFile::Open(const std::filesystem::path& path, std::string& error,
                      const std::function<bool()>& stop, const std::function<void()>& waiting) {
  m_path = path;
  // A reader that goes away must fail the write (EPIPE), not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  struct stat st {};
  if (IsDash(path)) {
    m_fd = STDOUT_FILENO;
  } else {
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
      error = path.string() + ": is a folder, not a file";
      return false;
    }
    // Temporaries of this name that killed runs of earlier versions (or a picture) left.
    if (!exists || S_ISREG(st.st_mode)) FileIO::RemoveStaleTemporaries(path, "tmp");
    if (exists && S_ISFIFO(st.st_mode)) {
      if (!OpenFifo(error, stop, waiting)) return false;
    } else {
      // O_CREAT follows a symbolic link and creates its target; nothing is truncated here.
      m_fd = ::open(path.c_str(), kOpenFlags | O_CREAT, 0666);
      if (m_fd < 0) {
        error = Why(errno);
        return false;
      }
      // A link to nothing created its target: that is what a refused run removes.
      if (!exists) m_created = FileIO::FollowLinks(path);
    }
  }
  if (::fstat(m_fd, &st) != 0) {
    error = Why(errno);
    Close(error);
    return false;
  }
  struct stat out {};
  if (m_fd != STDOUT_FILENO && ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev &&
      out.st_ino == st.st_ino) {
    // The file standard output goes to: written through standard output, at its offset.
    ::close(m_fd);
    m_fd = STDOUT_FILENO;
    m_created.clear();
  }
  m_stdout = m_fd == STDOUT_FILENO;
  m_regular = S_ISREG(st.st_mode) && !m_stdout;
  m_device = st.st_dev;
  m_inode = st.st_ino;
  // Writes block as a reader of a FIFO or a pipe takes the data.
  if (!m_stdout) ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
  m_text.reserve(std::size_t{1} << 16);
  return true;
}

bool OutputFile::OpenFifo(std::string& error, const std::function<bool()>& stop,
                          const std::function<void()>& waiting) {
  for (bool told = false;; told = true) {
    m_fd = ::open(m_path.c_str(), kOpenFlags);
    if (m_fd >= 0) return true;
    if (errno != ENXIO) {
      error = Why(errno);
      return false;
    }
    // No reader yet: opening without O_NONBLOCK would block beyond the reach of a stop request.
    if (!told && waiting) waiting();
    if (stop && stop()) {
      error = m_path.string() + ": no reader of this FIFO came before the stop";
      return false;
    }
    std::this_thread::sleep_for(kFifoRetry);
  }
}

bool OutputFile::Begin(std::string& error) {
  if (m_fd < 0 || m_begun) return true;
  m_begun = true;
  if (!m_regular) return true;
  m_position = m_whole = 0;
  if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
    m_errno = errno;
    error = Why(m_errno);
    return false;
  }
  return true;
}

bool OutputFile::Flush() noexcept {
  if (!good()) {
    m_text.clear();
    return false;
  }
  std::string_view left = m_text;
  {
    const std::lock_guard lock(WriteLock());
    while (!left.empty()) {
      const ssize_t n = ::write(m_fd, left.data(), left.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        m_errno = n < 0 ? errno : EIO;
        // No half frame stays in a file that can be cut back.
        if (m_regular && ::ftruncate(m_fd, m_whole) == 0) ::lseek(m_fd, m_whole, SEEK_SET);
        break;
      }
      left.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  if (m_errno == 0) {
    m_position += static_cast<off_t>(m_text.size());
    m_whole = std::max(m_whole, m_position);
  }
  m_text.clear();
  return m_errno == 0;
}

std::FILE* OutputFile::Stream() {
  if (m_stream != nullptr || m_fd < 0) return m_stream;
  const cookie_io_functions_t functions = {nullptr, &StreamWrite, &StreamSeek, &StreamClose};
  m_stream = ::fopencookie(this, "w", functions);
  return m_stream;
}

ssize_t OutputFile::StreamWrite(void* self, const char* data, std::size_t size) {
  auto& out = *static_cast<OutputFile*>(self);
  out.m_text.append(data, size);
  if (out.m_flushEvery != 0 && out.m_text.size() > out.m_flushEvery && !out.Flush()) {
    errno = out.m_errno;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

int OutputFile::StreamSeek(void* self, off64_t* offset, int whence) {
  auto& out = *static_cast<OutputFile*>(self);
  if (whence == SEEK_CUR && *offset == 0) {  // ftell
    *offset = out.m_position + static_cast<off_t>(out.m_text.size());
    return 0;
  }
  if (!out.m_regular) {
    errno = ESPIPE;
    return -1;
  }
  // What waits goes where the file stood; the text after the seek goes to its new place.
  if (!out.Flush()) {
    errno = out.m_errno;
    return -1;
  }
  const off_t at = ::lseek(out.m_fd, *offset, whence);
  if (at < 0) return -1;
  out.m_position = at;
  *offset = at;
  return 0;
}

int OutputFile::StreamClose(void* /*self*/) {
  return 0;
}

bool OutputFile::Close(std::string& error) {
  if (m_fd < 0) return true;
  if (m_stream != nullptr) {
    std::fclose(m_stream);  // its buffer joins the text
    m_stream = nullptr;
  }
  if (!m_text.empty()) Flush();
  if (m_regular && m_errno == 0 && ::fsync(m_fd) != 0) m_errno = errno;
  if (!m_stdout && ::close(m_fd) != 0 && m_errno == 0) m_errno = errno;
  m_fd = -1;
  // A run refused before it began leaves no new empty file behind.
  if (!m_created.empty() && !m_begun) ::unlink(m_created.c_str());
  if (m_errno == 0) return true;
  error = Why(m_errno);
  return false;
}

}  // namespace app
