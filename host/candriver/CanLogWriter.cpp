#include "host/candriver/CanLogWriter.h"

#include <cerrno>
#include <cstring>

#include "host/candriver/BlfWriter.h"
#include "host/candriver/TextLogWriter.h"

namespace XeCanDriverKvaser {

std::unique_ptr<CanLogWriter> CanLogWriter::Create(CanLogFormat format, std::FILE* out,
                                                   std::string name,
                                                   const CanLogWriterOptions& options) {
  if (format == CanLogFormat::Blf) return std::make_unique<BlfWriter>(out, std::move(name));
  return std::make_unique<TextLogWriter>(format, out, std::move(name), options);
}

bool CanLogWriter::Put(const void* data, std::size_t size) noexcept {
  if (m_failed) return false;
  if (std::fwrite(data, 1, size, m_out) == size) return true;
  m_failed = true;
  try {
    m_error = m_name + ": cannot write: " + std::strerror(errno);
  } catch (...) {  // no memory for the text: the failure itself is kept
  }
  return false;
}

bool CanLogWriter::FlushStream() noexcept {
  if (m_failed) return false;
  if (std::fflush(m_out) == 0) return true;
  m_failed = true;
  try {
    m_error = m_name + ": cannot write: " + std::strerror(errno);
  } catch (...) {
  }
  return false;
}

bool CanLogWriter::Refuse(std::string_view reason) {
  m_error = m_name + ": " + std::string(reason);
  return false;
}

}  // namespace XeCanDriverKvaser
