#include "host/candriver/LogSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace XeCanDriverKvaser {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 18;
constexpr std::size_t kMaxPayload = sizeof(CanMessage::data);
// Copied over a frame to empty it (see CanLogReader.cpp: cheaper than CanMessage{}).
constexpr CanMessage kNoMessage{};

std::string Reason(int error) {
  return std::system_category().message(error);
}

// An unlinked file in `folder`: O_TMPFILE where the file system has it, else a named one removed
// at once.
int MakeUnlinkedFile(const std::filesystem::path& folder, std::string& error) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = (folder / "canhost-spool-XXXXXX").string();
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    error = folder.string() + ": cannot make a temporary file: " + Reason(errno);
    return -1;
  }
  ::unlink(name.c_str());
  return fd;
}

// A channel name is a few characters: a loop beats the call to memcmp that == makes, per frame.
bool SameName(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

template <typename T>
void Put(char*& at, T value) noexcept {
  std::memcpy(at, &value, sizeof value);
  at += sizeof value;
}

template <typename T>
T Get(const char*& at) noexcept {
  T value;
  std::memcpy(&value, at, sizeof value);
  at += sizeof value;
  return value;
}

}  // namespace

std::unique_ptr<LogSpool> LogSpool::Create(const std::filesystem::path& folder,
                                           std::string& error) {
  const int fd = MakeUnlinkedFile(folder, error);
  if (fd < 0) return nullptr;
  return std::unique_ptr<LogSpool>(new LogSpool(fd));
}

LogSpool::LogSpool(int fd) : m_fd(fd), m_buffer(kBlockBytes) {}

LogSpool::~LogSpool() {
  if (m_fd >= 0) ::close(m_fd);
}

int LogSpool::ChannelIndex(std::string_view name) const noexcept {
  for (std::size_t i = 0; i < m_channels.size(); ++i)
    if (m_channels[i] == name) return static_cast<int>(i);
  return kNoChannel;
}

std::uint16_t LogSpool::ChannelOf(const std::string& name) {
  if (!m_channels.empty() && SameName(m_channels[m_lastChannel], name)) return m_lastChannel;
  int index = ChannelIndex(name);
  if (index == kNoChannel) {
    index = static_cast<int>(m_channels.size());
    m_channels.push_back(name);
  }
  m_lastChannel = static_cast<std::uint16_t>(index);
  return m_lastChannel;
}

bool LogSpool::Add(const CanLogEntry& entry) {
  if (!m_error.empty()) return false;
  const CanMessage& m = entry.message;
  if (m.length < 0 || static_cast<std::size_t>(m.length) > kMaxPayload) {
    m_error = "a frame of length " + std::to_string(m.length);
    return false;
  }
  if (m_channels.size() > std::numeric_limits<std::uint16_t>::max()) {
    m_error = "more log channel names than a spool numbers";
    return false;
  }
  const auto length = static_cast<std::size_t>(m.length);
  if (m_used + kHeadBytes + length > m_buffer.size() && !Flush()) return false;
  char* out = m_buffer.data() + m_used;
  Put(out, entry.timeNs);
  Put(out, static_cast<std::int32_t>(entry.line));
  Put(out, m.id);
  Put(out, m.flags);
  Put(out, ChannelOf(entry.channel));
  Put(out, static_cast<std::uint8_t>(length));
  Put(out, static_cast<std::uint8_t>(entry.object ? 1 : 0));
  std::memcpy(out, m.data, length);
  m_used += kHeadBytes + length;
  ++m_frames;
  return true;
}

bool LogSpool::Flush() {
  std::size_t done = 0;
  while (done < m_used) {
    const ssize_t n =
        ::pwrite(m_fd, m_buffer.data() + done, m_used - done, static_cast<off_t>(m_bytes + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_error = "cannot write the spool of the log: " + Reason(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  m_bytes += done;
  m_used = 0;
  return true;
}

bool LogSpool::Finish() {
  if (!m_error.empty() || !Flush()) return false;
  m_buffer = std::vector<char>();
  return true;
}

LogSpool::Reader::Reader(std::shared_ptr<const LogSpool> spool) : m_spool(std::move(spool)) {}

void LogSpool::Reader::Rewind() noexcept {
  m_pos = m_end = 0;
  m_offset = 0;
  m_read = 0;
  m_error.clear();
}

void LogSpool::Reader::Fail(std::string reason) noexcept {
  m_error = "cannot read the spool of the log: " + std::move(reason);
}

// Moves the unread bytes to the front and reads on; false when nothing more came.
bool LogSpool::Reader::Refill() noexcept {
  if (m_buffer.empty()) m_buffer.resize(kBlockBytes);
  const std::size_t kept = m_end - m_pos;
  std::memmove(m_buffer.data(), m_buffer.data() + m_pos, kept);
  m_pos = 0;
  m_end = kept;
  for (;;) {
    const ssize_t n = ::pread(m_spool->m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end,
                              static_cast<off_t>(m_offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Fail(Reason(errno));
      return false;
    }
    m_end += static_cast<std::size_t>(n);
    m_offset += static_cast<std::uint64_t>(n);
    return n > 0;
  }
}

bool LogSpool::Reader::Next(SpooledFrame& frame) noexcept {
  if (m_read == m_spool->m_frames || !m_error.empty()) return false;
  if (m_end - m_pos < kHeadBytes + kMaxPayload && m_offset < m_spool->m_bytes) Refill();
  const char* in = m_buffer.data() + m_pos;
  const std::size_t left = m_end - m_pos;
  const std::size_t length = left >= kHeadBytes ? static_cast<std::uint8_t>(in[kHeadBytes - 2]) : 0;
  if (left < kHeadBytes + length || length > kMaxPayload) {
    if (m_error.empty()) Fail("frame " + std::to_string(m_read + 1) + " is cut short");
    return false;
  }
  frame.timeNs = Get<std::int64_t>(in);
  frame.line = Get<std::int32_t>(in);
  frame.message = kNoMessage;
  frame.message.id = Get<std::uint32_t>(in);
  frame.message.flags = Get<std::uint32_t>(in);
  frame.channel = Get<std::uint16_t>(in);
  frame.message.length = static_cast<std::int32_t>(Get<std::uint8_t>(in));
  frame.object = Get<std::uint8_t>(in) != 0;
  std::memcpy(frame.message.data, in, length);
  m_pos += kHeadBytes + length;
  ++m_read;
  return true;
}

}  // namespace XeCanDriverKvaser
