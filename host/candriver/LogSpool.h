#pragma once
// The frames of a log, parsed once and kept in a compact binary file that no other process sees,
// so that a replay plays them again without parsing the log's text a second time (canhost run
// --replay reads the log through before the run, to refuse a bad one, and spools it on the way).
// The file is unlinked from the start (O_TMPFILE, or created and removed at once): the kernel
// drops it when the last handle closes, also when the process is killed. Memory stays one block
// for the writer and one per reader, whatever the log's length; the file holds about 24 bytes
// per frame plus its payload (32 for a classic 8-byte frame, where a candump line has 35).
//
// A record, in host byte order (the file lives only as long as the process):
//   timeNs   int64   log time in ns, as CanLogEntry::timeNs
//   line     int32   line of a text log, object of a BLF log, from 1
//   id       uint32  identifier without flag bits
//   flags    uint32  kCanFlag* bits
//   channel  uint16  index of the log's channel name in channels()
//   length   uint8   payload length, 0..64 (a remote request: the length it asks for)
//   object   uint8   1: `line` counts BLF objects
//   data     `length` bytes
//
// Examples, entry -> record bytes:
//   (1.5) can0 123#11     -> time 1500000000, line 1, id 0x123, flags 0, channel 0 ("can0"),
//                            length 1, object 0, data 11: 25 bytes
//   (1.6) can1 123#R      -> channel 1 ("can1"), flags kCanFlagRemote, length 0: 24 bytes
//   (1.7) can0 123##1AABB -> flags kCanFlagFd|kCanFlagBrs, length 2, data AA BB: 26 bytes
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/candriver/CanLogEntry.h"

namespace XeCanDriverKvaser {

// One frame read back from a spool.
struct SpooledFrame {
  std::int64_t timeNs = 0;    // log time in ns
  int line = 0;               // line (text log) or object (BLF log), from 1
  bool object = false;        // `line` counts objects
  std::uint16_t channel = 0;  // index in LogSpool::channels()
  CanMessage message;         // its channel and timestamp are 0, as the log reader gives them
};

class LogSpool {
 public:
  // Bytes of a record without its payload.
  static constexpr std::size_t kHeadBytes = 24;
  // A log channel name that no frame of the spool has.
  static constexpr int kNoChannel = -1;

  // [ui] An empty spool in a new unlinked file in `folder`. Null with "<folder>: cannot make a
  // temporary file: <reason>" in `error`.
  static std::unique_ptr<LogSpool> Create(const std::filesystem::path& folder, std::string& error);
  ~LogSpool();
  LogSpool(const LogSpool&) = delete;
  LogSpool& operator=(const LogSpool&) = delete;

  // [ui] Appends a frame of the log (an entry without `error`). False once writing failed
  // (a full disk): error() says why and the spool stays unusable.
  bool Add(const CanLogEntry& entry);
  // [ui] Writes what is still buffered; from then on the spool is only read. False as Add.
  bool Finish();
  // [any] Why writing failed; empty while it has not.
  const std::string& error() const noexcept { return m_error; }

  // [any] Frames added.
  std::uint64_t frames() const noexcept { return m_frames; }
  // [any] Bytes of the records added (those still buffered included).
  std::uint64_t bytes() const noexcept { return m_bytes + m_used; }
  // [any] The log's channel names, in the order they first appear.
  const std::vector<std::string>& channels() const noexcept { return m_channels; }
  // [any] The index of a channel name in channels(), or kNoChannel.
  int ChannelIndex(std::string_view name) const noexcept;

  // Reads the frames of a finished spool from the first, independently of other readers.
  class Reader {
   public:
    // [any] A reader of `spool`, which it keeps alive.
    explicit Reader(std::shared_ptr<const LogSpool> spool);
    // [any] Back to the first frame.
    void Rewind() noexcept;
    // [any] The next frame; false at the end, or when reading failed (error() is then set).
    bool Next(SpooledFrame& frame) noexcept;
    // [any] Why reading stopped before the end ("cannot read the spool of the log: ...").
    const std::string& error() const noexcept { return m_error; }

   private:
    bool Refill() noexcept;
    void Fail(std::string reason) noexcept;

    std::shared_ptr<const LogSpool> m_spool;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_offset = 0;  // file offset of the byte after the buffer's
    std::uint64_t m_read = 0;    // frames handed out
    std::string m_error;
  };

 private:
  explicit LogSpool(int fd);
  bool Flush();
  std::uint16_t ChannelOf(const std::string& name);

  int m_fd = -1;
  std::vector<char> m_buffer;  // records not written yet: the first m_used bytes
  std::size_t m_used = 0;
  std::uint64_t m_bytes = 0;  // bytes in the file
  std::uint64_t m_frames = 0;
  std::vector<std::string> m_channels;
  std::uint16_t m_lastChannel = 0;  // most logs name one channel for long runs of frames
  std::string m_error;
};

}  // namespace XeCanDriverKvaser
