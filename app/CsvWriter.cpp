#include "app/CsvWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>

namespace app {

CsvWriter::CsvWriter(std::FILE* out)
    : m_fd(::fileno(out)),
      m_buffer(std::make_unique_for_overwrite<char[]>(kBlock)),
      m_spare(std::make_unique_for_overwrite<char[]>(kBlock)) {
  std::signal(SIGPIPE, SIG_IGN);
  // What the stream holds goes first, so that the lines keep their order.
  if (std::fflush(out) != 0) m_errno = errno != 0 ? errno : EIO;
  m_thread = std::thread([this] { WriteBlocks(); });
}

CsvWriter::~CsvWriter() {
  {
    std::unique_lock lock(m_mutex);
    WaitWritten(lock);
    m_quit = true;
  }
  m_cv.notify_all();
  m_thread.join();
}

std::string CsvWriter::Field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out(1, '"');
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

bool CsvWriter::Line(std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) Put(',');
    Put(field);
    first = false;
  }
  EndRow();
  return ok();
}

char* CsvWriter::FormatNumber(char* at, double value) noexcept {
  // Below 10^4 a whole number is shorter written out than in scientific form, as to_chars has it;
  // -0 keeps its sign through to_chars.
  constexpr double kWholeBelow = 1e4;
  if (value > -kWholeBelow && value < kWholeBelow) {
    const auto whole = static_cast<int>(value);
    if (static_cast<double>(whole) == value && (whole != 0 || !std::signbit(value)))
      return std::to_chars(at, at + kNumberRoom, whole).ptr;
  }
  return std::to_chars(at, at + kNumberRoom, value).ptr;
}

void CsvWriter::Number(double value) noexcept {
  if (kBlock - m_used < kNumberRoom) Drain();
  char* at = m_buffer.get() + m_used;
  m_used += static_cast<std::size_t>(FormatNumber(at, value) - at);
}

void CsvWriter::PutLong(std::string_view text) noexcept {
  while (!text.empty()) {
    if (m_used == kBlock) Drain();
    const std::size_t n = std::min(text.size(), kBlock - m_used);
    std::memcpy(m_buffer.get() + m_used, text.data(), n);
    m_used += n;
    text.remove_prefix(n);
  }
}

void CsvWriter::WaitWritten(std::unique_lock<std::mutex>& lock) noexcept {
  m_cv.wait(lock, [this] { return m_spareUsed == 0; });
}

void CsvWriter::Drain() noexcept {
  if (m_used == 0) return;
  {
    std::unique_lock lock(m_mutex);
    WaitWritten(lock);
    std::swap(m_buffer, m_spare);
    m_spareUsed = m_used;
  }
  m_cv.notify_all();
  m_used = 0;
}

void CsvWriter::WriteBlocks() noexcept {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_cv.wait(lock, [this] { return m_quit || m_spareUsed != 0; });
    if (m_spareUsed == 0) return;
    std::string_view left(m_spare.get(), m_spareUsed);
    lock.unlock();
    while (ok() && !left.empty()) {
      const ssize_t n = ::write(m_fd, left.data(), left.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        m_errno.store(n < 0 ? errno : EIO);
        break;
      }
      left.remove_prefix(static_cast<std::size_t>(n));
    }
    lock.lock();
    m_spareUsed = 0;
    m_cv.notify_all();
  }
}

bool CsvWriter::Finish() {
  Drain();
  {
    std::unique_lock lock(m_mutex);
    WaitWritten(lock);
  }
  if (!ok()) m_error = std::string("cannot write the output: ") + std::strerror(m_errno.load());
  return ok();
}

}  // namespace app
