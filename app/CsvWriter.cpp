#include "app/CsvWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>

namespace app {

CsvWriter::CsvWriter(std::FILE* out)
    : m_fd(::fileno(out)), m_buffer(std::make_unique_for_overwrite<char[]>(kBlock)) {
  std::signal(SIGPIPE, SIG_IGN);
  // What the stream holds goes first, so that the lines keep their order.
  if (std::fflush(out) != 0) Failed(errno);
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

void CsvWriter::Number(double value) noexcept {
  if (kBlock - m_used < kNumberRoom) Drain();
  char* at = m_buffer.get() + m_used;
  m_used += static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - at);
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

void CsvWriter::Drain() noexcept {
  std::string_view left(m_buffer.get(), m_used);
  m_used = 0;
  while (ok() && !left.empty()) {
    const ssize_t n = ::write(m_fd, left.data(), left.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Failed(n < 0 ? errno : EIO);
      break;
    }
    left.remove_prefix(static_cast<std::size_t>(n));
  }
}

bool CsvWriter::Finish() {
  Drain();
  return ok();
}

void CsvWriter::Failed(int err) noexcept {
  if (ok()) m_error = std::string("cannot write the output: ") + std::strerror(err);
}

}  // namespace app
