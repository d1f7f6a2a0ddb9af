#include "app/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "host/mfc/CString.h"

namespace app {
namespace {
constexpr int kWidth = 30;  // characters between the brackets
}  // namespace

class ProgressBar::Sink final : public host::LogSink {
 public:
  Sink(ProgressBar& bar, unsigned mask) : m_bar(bar), m_mask(mask) {}
  void write(const host::LogLine& line) override {
    if (line.category < 0 || line.category > 31 || !(m_mask & (1u << line.category))) return;
    m_bar.PrintLine(CString(line.text).ToUtf8());
  }

 private:
  ProgressBar& m_bar;
  unsigned m_mask;
};

bool ProgressBar::StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool ProgressBar::Due() const {
  if (!m_enabled) return false;
  std::lock_guard lock(m_mutex);
  return m_wall.now_ns() - m_lastDrawNs >= kRedrawNs;
}

void ProgressBar::Draw(double fraction, double seconds, double totalSeconds,
                       std::uint64_t messages) {
  if (!m_enabled) return;
  fraction = std::clamp(fraction, 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kWidth);
  char text[160];
  std::snprintf(text, sizeof text, "\r[%s%s] %3d%%  %.1f/%.1f s  %llu messages",
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(),
                static_cast<int>(fraction * 100.0), seconds, totalSeconds,
                static_cast<unsigned long long>(messages));
  std::lock_guard lock(m_mutex);
  m_bar = text;
  m_lastDrawNs = m_wall.now_ns();
  std::fputs(m_bar.c_str(), stderr);
  std::fflush(stderr);
}

void ProgressBar::PrintLine(const std::string& text) {
  std::lock_guard lock(m_mutex);
  // Erase the bar, write the line, draw the bar again below it.
  if (!m_bar.empty()) std::fputs("\r\033[K", stderr);
  std::fputs(text.c_str(), stderr);
  if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
  if (!m_bar.empty()) std::fputs(m_bar.c_str(), stderr);
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  std::lock_guard lock(m_mutex);
  if (m_bar.empty()) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  m_bar.clear();
}

std::shared_ptr<host::LogSink> ProgressBar::MakeLogSink(unsigned categoryMask) {
  return std::make_shared<Sink>(*this, categoryMask);
}

}  // namespace app
