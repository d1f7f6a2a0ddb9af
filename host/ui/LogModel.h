#pragma once
// The host log as a window shows it: the newest lines, at most a fixed number, each with how grave
// it is. Installed as a sink of the host log (host::AddLogSink), it takes lines from any thread; a
// view reads them on [ui] when Revision() has moved, and never holds the writers up for longer
// than a copy of the lines.
//   PrWin::Output(L"candriver: channel 4: unknown backend 'serial'\n", kCategoryError, kStyleError)
//     -> {n, "candriver: channel 4: unknown backend 'serial'", Error}
//   style kStyleWarning -> Warning; kStyleNotice, kStylePlain -> Info
//   a text of several lines -> one entry, its line breaks shown as " / "
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/mfc/ThreadSafety.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace ui {

enum class LogLevel { Info, Warning, Error };

struct LogEntry {
  std::uint64_t number = 0;  // 1 for the first line taken, counting on
  std::string text;          // UTF-8, without the final line break
  LogLevel level = LogLevel::Info;
};

class LogModel : public host::LogSink {
 public:
  static constexpr std::size_t kDefaultCapacity = 500;
  static constexpr unsigned kShownCategories = 1u << PrWin::kCategoryError;

  // Keeps the newest `capacity` lines of the categories in `categoryMask` (bit n = category n;
  // by default the errors and warnings the host shows its user).
  explicit LogModel(std::size_t capacity = kDefaultCapacity,
                    unsigned categoryMask = kShownCategories);

  // [any] A line of the host log.
  void write(const host::LogLine& line) override;
  // [any] A line of the window's own.
  void Add(const std::string& text, LogLevel level);
  // [any] The lines kept, oldest first.
  std::vector<LogEntry> Lines() const;
  // [any] Lines taken since construction (a view redraws when it moved).
  std::uint64_t Revision() const noexcept { return m_revision.load(); }
  std::size_t Capacity() const noexcept { return m_capacity; }

 private:
  const std::size_t m_capacity;
  const unsigned m_mask;
  mutable host::Mutex m_mutex;
  std::deque<LogEntry> m_lines GUARDED_BY(m_mutex);
  std::uint64_t m_taken GUARDED_BY(m_mutex) = 0;
  std::atomic<std::uint64_t> m_revision{0};
};

}  // namespace ui
