#include "host/settings/PrWin.h"

#include <algorithm>
#include <cstdarg>

#include "host/mfc/CString.h"
#include "host/services/Host.h"
#include "host/settings/LogCategories.h"

namespace host {
namespace {
struct Log {
  std::mutex mutex;
  std::vector<std::shared_ptr<LogSink>> sinks;
};
Log& TheLog() {
  return CurrentHost().Get<Log>();
}

void Dispatch(const LogLine& line) {
  std::vector<std::shared_ptr<LogSink>> sinks;
  {
    auto& log = TheLog();
    std::lock_guard lock(log.mutex);
    sinks = log.sinks;
  }
  for (const auto& sink : sinks)
    sink->write(line);
}
}  // namespace

void AddLogSink(std::shared_ptr<LogSink> sink) {
  auto& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.sinks.push_back(std::move(sink));
}

void RemoveLogSink(const std::shared_ptr<LogSink>& sink) {
  auto& log = TheLog();
  std::lock_guard lock(log.mutex);
  std::erase(log.sinks, sink);
}

StreamLogSink::StreamLogSink(std::FILE* stream, unsigned categoryMask, bool closeOnDestruction)
    : m_stream(stream), m_mask(categoryMask), m_close(closeOnDestruction) {}

StreamLogSink::~StreamLogSink() {
  if (m_close && m_stream) std::fclose(m_stream);
}

void StreamLogSink::write(const LogLine& line) {
  if (m_mask != 0 && (line.category < 0 || line.category > 31 ||
                      (m_mask & (1u << static_cast<unsigned>(line.category))) == 0))
    return;
  const std::string text = mfc::NarrowUtf8(line.text);
  std::lock_guard lock(m_mutex);
  std::fwrite(text.data(), 1, text.size(), m_stream);
  std::fflush(m_stream);
}

struct CaptureLog::Sink : LogSink {
  mutable std::mutex mutex;
  std::vector<LogLine> lines;
  void write(const LogLine& line) override {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  }
};

CaptureLog::CaptureLog() : m_sink(std::make_shared<Sink>()) {
  AddLogSink(m_sink);
}
CaptureLog::~CaptureLog() {
  RemoveLogSink(m_sink);
}

std::vector<LogLine> CaptureLog::lines() const {
  std::lock_guard lock(m_sink->mutex);
  return m_sink->lines;
}

std::size_t CaptureLog::count(const std::wstring& text) const {
  std::lock_guard lock(m_sink->mutex);
  return static_cast<std::size_t>(std::count_if(m_sink->lines.begin(), m_sink->lines.end(),
                                                [&](const LogLine& l) { return l.text == text; }));
}

std::size_t CaptureLog::count_containing(const std::wstring& part) const {
  std::lock_guard lock(m_sink->mutex);
  return static_cast<std::size_t>(
      std::count_if(m_sink->lines.begin(), m_sink->lines.end(),
                    [&](const LogLine& l) { return l.text.find(part) != std::wstring::npos; }));
}

void CaptureLog::clear() {
  std::lock_guard lock(m_sink->mutex);
  m_sink->lines.clear();
}

}  // namespace host

namespace PrWin {
void Output(const wchar_t* text, int category, int style) {
  host::Dispatch(host::LogLine{text ? text : L"", category, style});
}

void Output(int category, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = mfc::FormatWide(format, args);
  va_end(args);
  host::Dispatch(host::LogLine{std::move(text), category, kStylePlain});
}
}  // namespace PrWin
