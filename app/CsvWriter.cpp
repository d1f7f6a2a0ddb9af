#include "app/CsvWriter.h"

#include <cerrno>
#include <csignal>
#include <system_error>

namespace app {

CsvWriter::CsvWriter(std::FILE* out) : m_out(out) {
  std::signal(SIGPIPE, SIG_IGN);
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
  if (!ok()) return false;
  m_line.clear();
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) m_line += ',';
    m_line.append(field);
    first = false;
  }
  m_line += '\n';
  if (std::fwrite(m_line.data(), 1, m_line.size(), m_out) != m_line.size()) Failed(errno);
  return ok();
}

bool CsvWriter::Finish() {
  if (ok() && (std::fflush(m_out) != 0 || std::ferror(m_out))) Failed(errno);
  return ok();
}

void CsvWriter::Failed(int err) {
  if (ok())
    m_error = std::string("cannot write the output: ") + std::system_category().message(err);
}

}  // namespace app
