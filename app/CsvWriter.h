#pragma once
// CSV output of canhost (RFC 4180): fields joined by commas, lines ending in "\n"; a field that
// holds a comma, a double quote, CR or LF is put in double quotes, its quotes doubled. Numbers are
// written shortest-exact (the fewest digits that read back to the same double: 0.017, not
// 0.017000000000000001). The text gathers in a private buffer and goes to the file descriptor in
// blocks of kBlock bytes, so a row costs no system call and no allocation. Every write is checked:
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
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

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
  // [ui] Ends a row: the block goes out once it is full.
  void EndRow() noexcept {
    Put('\n');
    if (m_used >= kBlock - kBlock / 8) Drain();
  }

  // [ui] Writes out what waits; false when any write failed. error() says why.
  bool Finish();
  bool ok() const noexcept { return m_error.empty(); }
  // [any] "cannot write the output: <reason>", or empty.
  const std::string& error() const noexcept { return m_error; }

 private:
  void PutLong(std::string_view text) noexcept;
  void Drain() noexcept;
  void Failed(int err) noexcept;

  int m_fd;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_used = 0;
  std::string m_error;
};

}  // namespace app
