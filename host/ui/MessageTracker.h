#pragma once
// The message list's side of the processing thread: every message of a frame goes through Add,
// then Publish hands a new immutable MessageSnapshot over. Readers take the latest one under a lock
// held only to copy a pointer, so the processing thread never waits for a window's work, and a
// window that falls behind simply skips snapshots.
//
//   Add(0, 0x123, 2, {01 02}, 0.10); Add(0, 0x123, 2, {01 07}, 0.20); Publish(0.25)
//     -> row {channel 0, id 0x123, count 2, last 0.20, data 01 07,
//             changed = {never, 0.20}}            (byte 1 changed at 0.20, byte 0 never)
//   messages of a second, published every 0.1 s  -> rate = messages/s of the last whole second
#include <cstdint>
#include <map>

#include "host/mfc/ThreadSafety.h"
#include "host/ui/MessageSnapshot.h"

namespace ui {

class MessageTracker {
 public:
  // The rate is counted over windows of this much measured time.
  static constexpr double kRateWindowSeconds = 1.0;
  // Identifiers listed at most (channels together): a bus of random identifiers must not grow the
  // list, and the copy made at every frame, without bound. Those beyond are only counted.
  static constexpr std::size_t kMaxRows = 4096;

  MessageTracker();

  // [ui] Forgets an earlier measurement (no frame may run meanwhile).
  void Restart();
  // [processing] One message: `id` with kExtendedIdFlag for an extended identifier, `length`
  // bytes at `data` (clamped to 0..64), `time` seconds from the start, not before the last one.
  void Add(int channel, std::uint32_t id, int length, const std::uint8_t* data, double time);
  // [processing] Publishes what was added up to measured time `seconds`.
  void Publish(double seconds);
  // [any] The latest snapshot (shared, never changed); an empty one before the first Publish.
  MessageSnapshotPtr Snapshot() const;

 private:
  struct Entry {
    MessageStat stat;
    std::uint64_t windowBase = 0;  // count at the start of the rate window
  };
  static std::uint64_t Key(int channel, std::uint32_t id) noexcept {
    return static_cast<std::uint64_t>(static_cast<std::uint8_t>(channel)) << 32 | id;
  }

  std::map<std::uint64_t, Entry> m_entries;  // by channel, then identifier; [processing]
  double m_windowStart = 0.0;                // [processing]
  std::uint64_t m_unlisted = 0;              // [processing] messages beyond kMaxRows
  mutable host::Mutex m_mutex;
  MessageSnapshotPtr m_published GUARDED_BY(m_mutex);
};

}  // namespace ui
