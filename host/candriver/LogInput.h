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
  LogInput() = default;
  ~LogInput();
  LogInput(const LogInput&) = delete;
  LogInput& operator=(const LogInput&) = delete;

  // [any] Opens a file from its start. False with "<file>: cannot open: <reason>" or
  // "<file>: is a folder, not a file" in `error`.
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

 private:
  void Close() noexcept;
  // Moves the unread bytes to the front and reads more; false when nothing more came.
  bool Refill();

  std::FILE* m_file = nullptr;
  std::vector<char> m_buffer;    // the file's current block
  const char* m_data = nullptr;  // the block (m_buffer, or the memory read)
  std::size_t m_pos = 0;         // first unread byte of the block
  std::size_t m_end = 0;         // end of the block's bytes
  std::uint64_t m_consumed = 0;  // file bytes before the block
  std::string m_line;            // a line that spans two blocks
  bool m_failed = false;
};

}  // namespace XeCanDriverKvaser
