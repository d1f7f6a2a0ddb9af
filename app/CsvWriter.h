#pragma once
// CSV output of canhost (RFC 4180): fields joined by commas, lines ending in "\n"; a field that
// holds a comma, a double quote, CR or LF is put in double quotes, its quotes doubled. Numbers are
// written shortest-exact (the fewest digits that read back to the same double: 0.017, not
// 0.017000000000000001). The text gathers in a private buffer and goes to the file descriptor in
// blocks of kBlock bytes, so a row costs no system call and no allocation; a thread of the writer
// writes one block while the next fills (the kernel's copy of the text then runs beside the
// formatting, on the other core). Every write is checked:
// a full disk or a reader that went away (a closed pipe) ends the output with the reason, which
// the command reports before it exits 1.
//
//   Field("Speed")        -> Speed
//   Field("a,b")          -> "a,b"
//   Field("say \"hi\"")   -> "say ""hi"""
//   Field("two\nlines")   -> "two<LF>lines"
//   Number(0.017)         -> 0.017
//   Number(1520)          -> 1520
//   Number(-2.5e-07)      -> -2.5e-07
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace app {

class CsvWriter {
 public:
  // Bytes gathered before they are written out.
  static constexpr std::size_t kBlock = std::size_t{1} << 18;
  // Room a number takes at most (to_chars of a double, shortest form).
  static constexpr std::size_t kNumberRoom = 32;

  // [ui] Writes to `out`'s file descriptor (not owned; stdout for the commands), after what `out`
  // holds buffered. A write to a closed pipe fails with EPIPE from here on instead of ending the
  // process with SIGPIPE.
  explicit CsvWriter(std::FILE* out);
  // [ui] Waits for the block being written; what was not handed on by Finish is dropped.
  ~CsvWriter();
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  // [any] The field as it stands in a line. A new string: make it once per name, not per row.
  static std::string Field(std::string_view text);
  // [ui] One line of already formatted fields (Field() them first); false once a write failed.
  bool Line(std::initializer_list<std::string_view> fields);

  // [ui] Appends text as it stands (already formatted fields and separators).
  void Put(std::string_view text) noexcept {
    if (text.size() > kBlock - m_used) {
      PutLong(text);
      return;
    }
    std::char_traits<char>::copy(m_buffer.get() + m_used, text.data(), text.size());
    m_used += text.size();
  }
  void Put(char c) noexcept {
    if (m_used == kBlock) Drain();
    m_buffer[m_used++] = c;
  }
  // [ui] Appends `value` shortest-exact.
  void Number(double value) noexcept;
  // [any] Writes `value` shortest-exact at `at` (room for kNumberRoom); returns the end. The text
  // of std::to_chars(value), with whole numbers below 10^4 made as integers (the same text, in a
  // fraction of the time: they are most of what a CAN bus carries).
  static char* FormatNumber(char* at, double value) noexcept;
  // [ui] Ends a row: the block goes out once it is full.
  void EndRow() noexcept {
    Put('\n');
    if (m_used >= kBlock - kBlock / 8) Drain();
  }

  // [ui] Writes out what waits and waits until it is written; false when any write failed.
  // error() says why.
  bool Finish();
  // [ui] No write has failed so far (one that fails is seen here a block later).
  bool ok() const noexcept { return m_errno.load(std::memory_order_relaxed) == 0; }
  // [ui] After Finish: "cannot write the output: <reason>", or empty.
  const std::string& error() const noexcept { return m_error; }

 private:
  void PutLong(std::string_view text) noexcept;
  // Hands the filled block to the writing thread once it is done with the one before.
  void Drain() noexcept;
  // [writer] Writes each block handed on until told to quit.
  void WriteBlocks() noexcept;
  void WaitWritten(std::unique_lock<std::mutex>& lock) noexcept;

  int m_fd;
  std::unique_ptr<char[]> m_buffer;  // the block being filled
  std::size_t m_used = 0;
  std::atomic<int> m_errno{0};  // of the first failed write
  std::string m_error;

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::unique_ptr<char[]> m_spare;  // the block being written; m_mutex
  std::size_t m_spareUsed = 0;      // bytes of it to write, 0: none; m_mutex
  bool m_quit = false;              // m_mutex
  std::thread m_thread;             // last: starts when everything above exists
};

// The texts of the numbers written last, for a writer whose numbers recur (the times of a frame's
// slow samples, repeated by every signal of a message): a number is formatted once while it stays
// in the table, and comes out exactly as CsvWriter::FormatNumber writes it.
class RecentNumbers {
 public:
  // [owner] Writes `value` at `at` (room for CsvWriter::kNumberRoom); returns the end.
  char* Write(char* at, double value) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    // Fibonacci hashing: numbers a sample period apart spread over the table.
    Entry& entry = m_entries[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kBits)];
    if (entry.bits != bits || entry.length == 0) {
      entry.length = static_cast<std::uint8_t>(CsvWriter::FormatNumber(entry.text.data(), value) -
                                               entry.text.data());
      entry.bits = bits;
    }
    return std::copy_n(entry.text.data(), entry.length, at);
  }

 private:
  static constexpr int kBits = 9;
  struct Entry {
    std::uint64_t bits = 0;
    std::uint8_t length = 0;  // 0: empty
    std::array<char, CsvWriter::kNumberRoom> text;
  };
  std::array<Entry, std::size_t{1} << kBits> m_entries{};
};

}  // namespace app
