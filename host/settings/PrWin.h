#pragma once
// The host log. Every line carries a category and a style (host/settings/LogCategories.h):
//   kCategoryError  errors and warnings (kStyleError, kStyleWarning)
//   kCategoryTrace  traces of the modules (kStylePlain for formatted lines, others as given)
// Lines go to every installed sink (host::LogSink); the host installs a stderr or file sink with a
// category filter, tests install a host::CaptureLog and read the lines back.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace PrWin {
// [any] Writes text (as a rule ending in "\n") to the log.
void Output(const wchar_t* text, int category, int style);
// [any] Formats with the host's wide printf conventions ("%s" wide, see CString) and writes the
// result with style 0.
void Output(int category, const wchar_t* format, ...);
}  // namespace PrWin

namespace host {

struct LogLine {
  std::wstring text;  // as given, usually ending in "\n"
  int category;
  int style;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  // [any] Called for every line, possibly from several threads at once.
  virtual void write(const LogLine& line) = 0;
};

// [any] Installs / removes a sink. The log keeps a shared reference while it writes.
void AddLogSink(std::shared_ptr<LogSink> sink);
void RemoveLogSink(const std::shared_ptr<LogSink>& sink);

// Writes lines whose category is in the mask (bit n = category n; 0 = every category) as UTF-8 to
// a stdio stream, prefixed with nothing: a line of the log is a line of the file.
class StreamLogSink : public LogSink {
 public:
  StreamLogSink(std::FILE* stream, unsigned categoryMask, bool closeOnDestruction = false);
  ~StreamLogSink() override;
  void write(const LogLine& line) override;

 private:
  std::mutex m_mutex;
  std::FILE* m_stream;
  unsigned m_mask;
  bool m_close;
};

// Collects lines while it lives (tests).
class CaptureLog {
 public:
  CaptureLog();
  ~CaptureLog();
  CaptureLog(const CaptureLog&) = delete;
  CaptureLog& operator=(const CaptureLog&) = delete;

  std::vector<LogLine> lines() const;
  // Number of captured lines whose text equals `text` exactly.
  std::size_t count(const std::wstring& text) const;
  // Number of captured lines whose text contains `part`.
  std::size_t count_containing(const std::wstring& part) const;
  void clear();

 private:
  struct Sink;
  std::shared_ptr<Sink> m_sink;
};

}  // namespace host
