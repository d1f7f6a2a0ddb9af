#include "host/ui/LogModel.h"

#include "host/mfc/CString.h"

namespace ui {

LogModel::LogModel(std::size_t capacity, unsigned categoryMask)
    : m_capacity(capacity > 0 ? capacity : 1), m_mask(categoryMask) {}

void LogModel::write(const host::LogLine& line) {
  if (line.category < 0 || line.category > 31 ||
      (m_mask != 0 && (m_mask & (1u << static_cast<unsigned>(line.category))) == 0))
    return;
  const LogLevel level = line.style == PrWin::kStyleError     ? LogLevel::Error
                         : line.style == PrWin::kStyleWarning ? LogLevel::Warning
                                                              : LogLevel::Info;
  Add(mfc::NarrowUtf8(line.text), level);
}

void LogModel::Add(const std::string& text, LogLevel level) {
  std::string shown = text;
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
    shown.pop_back();
  for (std::size_t at = 0; (at = shown.find('\n', at)) != std::string::npos;)
    shown.replace(at, 1, " / ");
  host::MutexLock lock(m_mutex);
  m_lines.push_back({++m_taken, std::move(shown), level});
  if (m_lines.size() > m_capacity) m_lines.pop_front();
  m_revision.store(m_taken);
}

std::vector<LogEntry> LogModel::Lines() const {
  host::MutexLock lock(m_mutex);
  return {m_lines.begin(), m_lines.end()};
}

}  // namespace ui
