#include "host/candriver/LogInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/settings/FileIO.h"

namespace XeCanDriverKvaser {
namespace {
constexpr std::size_t kBlockSize = std::size_t{1} << 18;
}  // namespace

LogInput::~LogInput() {
  Close();
}

void LogInput::Close() noexcept {
  if (m_file != nullptr) std::fclose(m_file);
  m_file = nullptr;
  m_data = nullptr;
  m_pos = m_end = 0;
  m_consumed = 0;
  m_failed = false;
  m_tooLong = false;
}

bool LogInput::Open(const std::filesystem::path& file, std::string& error) {
  Close();
  if (!FileIO::CheckInputFile(file, 0, error)) return false;
  m_file = std::fopen(file.c_str(), "rb");
  if (m_file == nullptr) {
    error = file.string() + ": cannot open: " + std::strerror(errno);
    return false;
  }
  m_buffer.resize(kBlockSize);
  m_data = m_buffer.data();
  return true;
}

void LogInput::OpenMemory(std::string_view bytes) {
  Close();
  m_data = bytes.data();
  m_end = bytes.size();
}

bool LogInput::Refill() {
  if (m_file == nullptr) return false;
  const std::size_t kept = m_end - m_pos;
  if (kept == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);  // a peek larger than a block
  std::memmove(m_buffer.data(), m_buffer.data() + m_pos, kept);
  m_consumed += m_pos;
  m_pos = 0;
  m_end = kept;
  m_data = m_buffer.data();
  const std::size_t got = std::fread(m_buffer.data() + kept, 1, m_buffer.size() - kept, m_file);
  if (got == 0 && std::ferror(m_file)) m_failed = true;
  m_end += got;
  return got > 0;
}

std::string_view LogInput::Peek(std::size_t count) {
  while (m_end - m_pos < count && Refill()) {
  }
  return {m_data + m_pos, std::min(count, m_end - m_pos)};
}

std::size_t LogInput::Read(void* out, std::size_t count) {
  auto* to = static_cast<char*>(out);
  std::size_t done = 0;
  while (done < count) {
    if (m_pos == m_end && !Refill()) break;
    const std::size_t n = std::min(count - done, m_end - m_pos);
    std::memcpy(to + done, m_data + m_pos, n);
    m_pos += n;
    done += n;
  }
  return done;
}

std::size_t LogInput::Skip(std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (m_pos == m_end && !Refill()) break;
    const std::size_t n = std::min(count - done, m_end - m_pos);
    m_pos += n;
    done += n;
  }
  return done;
}

bool LogInput::CutLine(std::string_view& line) {
  m_tooLong = true;
  line = line.substr(0, kMaxLineBytes);
  // Nothing after it is read.
  if (m_file != nullptr) std::fclose(m_file);
  m_file = nullptr;
  m_pos = m_end;
  return true;
}

bool LogInput::ReadLine(std::string_view& line) {
  if (m_tooLong || (m_file == nullptr && m_pos == m_end)) return false;
  bool spanning = false;
  for (;;) {
    const char* start = m_data + m_pos;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', m_end - m_pos));
    if (newline != nullptr || m_file == nullptr) {
      const std::size_t length =
          newline != nullptr ? static_cast<std::size_t>(newline - start) : m_end - m_pos;
      m_pos += length + (newline != nullptr ? 1 : 0);
      if (spanning) {
        m_line.append(start, length);
        line = m_line;
      } else {
        line = {start, length};
      }
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.size() > kMaxLineBytes) return CutLine(line);
      return true;
    }
    // No line end in the block: keep what there is and read on, up to the longest line.
    if (!spanning) m_line.clear();
    spanning = true;
    m_line.append(start, m_end - m_pos);
    m_pos = m_end;
    if (m_line.size() > kMaxLineBytes + 1) {
      line = m_line;
      return CutLine(line);
    }
    if (!Refill()) {
      if (m_line.empty()) return false;
      line = m_line;
      if (line.back() == '\r') line.remove_suffix(1);
      return true;
    }
  }
}

}  // namespace XeCanDriverKvaser
