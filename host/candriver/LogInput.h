#pragma once
// The bytes of a log being read, from a file or from memory, in large blocks: lines for the text
// formats, byte runs for BLF. Lines are handed out without copying where they lie in one block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace XeCanDriverKvaser {

class LogInput {
 public:
  // Longest line handed out: a longer one (a binary file, a regular file of zeros) is cut there,
  // tooLong() says so and the input ends, so memory and time stay bounded whatever a file holds.
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 16;

  LogInput() = default;
  ~LogInput();
  LogInput(const LogInput&) = delete;
  LogInput& operator=(const LogInput&) = delete;

  // [any] Opens a file from its start: only a regular file (a FIFO would block the open, a device
  // never end). False with "<file>: cannot open: <reason>", "<file>: is a folder, not a file" or
  // "<file>: is a FIFO, not a regular file" in `error`.
  bool Open(const std::filesystem::path& file, std::string& error);
  // [any] Reads `bytes` from their start; they are not copied and must outlive the reading.
  void OpenMemory(std::string_view bytes);

  // [any] The first bytes not read yet, at most `count` (fewer only at the end of the input).
  std::string_view Peek(std::size_t count);
  // [any] Up to `count` bytes into `out`; fewer only at the end of the input.
  std::size_t Read(void* out, std::size_t count);
  // [any] Skips up to `count` bytes; returns how many there were.
  std::size_t Skip(std::size_t count);
  // [any] The next line without its line end ("\n", "\r\n"); false at the end of the input. The
  // view lasts until the next call.
  bool ReadLine(std::string_view& line);
  // [any] Bytes read so far: the offset in the file of the next byte.
  std::uint64_t offset() const noexcept { return m_consumed + m_pos; }
  // [any] Whether reading the file failed (not its end): an I/O error.
  bool failed() const noexcept { return m_failed; }
  // [any] Whether the last line was longer than kMaxLineBytes (and the input ended there).
  bool tooLong() const noexcept { return m_tooLong; }

 private:
  void Close() noexcept;
  // Moves the unread bytes to the front and reads more; false when nothing more came.
  bool Refill();
  // Hands out the first kMaxLineBytes of an over-long line and ends the input.
  bool CutLine(std::string_view& line);

  std::FILE* m_file = nullptr;
  std::vector<char> m_buffer;    // the file's current block
  const char* m_data = nullptr;  // the block (m_buffer, or the memory read)
  std::size_t m_pos = 0;         // first unread byte of the block
  std::size_t m_end = 0;         // end of the block's bytes
  std::uint64_t m_consumed = 0;  // file bytes before the block
  std::string m_line;            // a line that spans two blocks
  bool m_failed = false;
  bool m_tooLong = false;
};

}  // namespace XeCanDriverKvaser
