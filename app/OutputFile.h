#pragma once
// A recording of canhost (the --signals CSV, the --capture log) written into what its path names,
// as it is made: the text of each frame is appended and written out at the frame's end, whole,
// so that a kill or a power cut loses at most the frame in progress, as `candump -l` does.
//
// What the path names decides how it is written:
//   "-"                        standard output
//   the file standard output   standard output (no second offset that would overwrite it):
//     goes to                    /dev/stdout, /proc/self/fd/1, or `--signals x > x`
//   a symbolic link            its target, created when absent; the link stays
//   a FIFO                     written in place; opening waits for a reader
//   a device                   written in place
//   an existing regular file   kept as it is until Begin, then emptied in place: its mode, owner
//                              and hard links stay
//   nothing                    created (mode 0666 less the umask); removed again when the run
//                              ends before Begin, so a refused run leaves nothing behind
//   a folder                   refused
//
// Every write of a frame holds WriteLock(): a process that must end at once takes it first, so
// no output is left with half a frame. A write that fails (a full disk, a reader that went away)
// ends the output: a regular file is cut back to its last whole frame and Close reports why.
#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace app {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // closes; a file created by Open and never begun is removed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // [ui] Opens `path` as above. A FIFO without a reader is tried again every 50 ms until one
  // comes or `stop` (when given) returns true; `waiting` (when given) is called once before the
  // wait. False with one line in `error` naming the path.
  bool Open(const std::filesystem::path& path, std::string& error,
            const std::function<bool()>& stop = {}, const std::function<void()>& waiting = {});
  // [ui] The recording starts: an existing regular file is emptied. False with one line.
  bool Begin(std::string& error);

  // [processing] Text of the frame being made, written out by Flush. Owned by this object; it
  // keeps its capacity, so a steady stream allocates nothing.
  std::string& Text() noexcept { return m_text; }
  void Append(std::string_view text) { m_text.append(text); }
  // [processing] Writes the text appended since the last Flush, whole; false once writing failed
  // (the text is then dropped).
  bool Flush() noexcept;
  // [any] Whether writing can go on: open and nothing failed.
  bool good() const noexcept { return m_fd >= 0 && m_errno == 0; }

  // [ui] A stdio stream onto this output (owned by it, valid until Close), for a writer of a log
  // format (host/candriver/CanLogWriter.h): what is written to it joins the frame's text, so it
  // still reaches the file whole at Flush. It seeks only in a regular file (a BLF header is
  // rewritten at the end); ftell gives the offset of the text written so far. Null when the
  // stream cannot be made (or the output is not open).
  std::FILE* Stream();
  // [ui] For an output not written frame by frame: the text is also written out whenever more
  // than `bytes` of it wait (0: only at Flush).
  void FlushEvery(std::size_t bytes) noexcept { m_flushEvery = bytes; }

  // [ui] Flushes, syncs a regular file to disk and closes (standard output stays open). Nothing to
  // do when not open. False with one line in `error` naming the path and the first failure.
  bool Close(std::string& error);

  // [any] The path as given.
  const std::filesystem::path& path() const noexcept { return m_path; }
  // [any] Whether this output is standard output (then canhost's own text goes to stderr).
  bool IsStdout() const noexcept { return m_stdout; }
  // [any] Whether both are open on the same file (device, FIFO, standard output).
  bool SameFileAs(dev_t device, ino_t inode) const noexcept {
    return m_fd >= 0 && m_device == device && m_inode == inode;
  }
  bool SameFileAs(const OutputFile& other) const noexcept {
    return other.m_fd >= 0 && SameFileAs(other.m_device, other.m_inode);
  }

  // [any] Held by every frame's write (see above).
  static std::timed_mutex& WriteLock() noexcept;

 private:
  bool OpenFifo(std::string& error, const std::function<bool()>& stop,
                const std::function<void()>& waiting);
  std::string Why(int err) const;
  // The stream's functions (fopencookie).
  static ssize_t StreamWrite(void* self, const char* data, std::size_t size);
  static int StreamSeek(void* self, off64_t* offset, int whence);
  static int StreamClose(void* self);

  std::filesystem::path m_path;
  int m_fd = -1;
  bool m_stdout = false;   // m_fd is standard output: not closed here
  bool m_regular = false;  // a regular file: emptied at Begin, cut back after a failed write
  std::filesystem::path m_created;  // the file Open created, links followed; empty: none
  bool m_begun = false;             // Begin ran
  dev_t m_device = 0;               // of the file, to find an output named twice
  ino_t m_inode = 0;
  std::string m_text;             // the frame being made
  off_t m_whole = 0;              // end of the whole frames written to a regular file
  off_t m_position = 0;           // offset of the next write in a regular file
  int m_errno = 0;                // first failure
  std::FILE* m_stream = nullptr;  // Stream(), owned
  std::size_t m_flushEvery = 0;
};

}  // namespace app
