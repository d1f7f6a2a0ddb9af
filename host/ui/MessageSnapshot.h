#pragma once
// The traffic of every identifier seen since the start of the measurement, as the message list
// shows it. The processing thread (MessageTracker) publishes a new snapshot after every frame and
// never changes one it has published, so a window reads it without a lock.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// Bit 31 of an identifier as the CAN packets carry it: the identifier is an extended (29-bit) one.
inline constexpr std::uint32_t kExtendedIdFlag = 0x80000000u;
inline constexpr int kMaxMessageBytes = 64;
// A byte that has not changed since the identifier was first seen.
inline constexpr float kNeverChanged = -std::numeric_limits<float>::infinity();

struct MessageStat {
  int channel = 0;          // bus channel, 0..255
  std::uint32_t id = 0;     // identifier with kExtendedIdFlag for an extended one
  std::uint64_t count = 0;  // messages since the start
  double rate = 0.0;        // messages/s over the last completed rate window; 0 before one
  double last = 0.0;        // time of the last message, seconds from the start
  int length = 0;           // data length of the last message, 0..64
  std::array<std::uint8_t, kMaxMessageBytes> data{};  // its first `length` bytes count
  // Per byte, when its value last changed, seconds from the start (float: the fading needs
  // milliseconds, not more); kNeverChanged before a change.
  std::array<float, kMaxMessageBytes> changed{};

  bool extended() const noexcept { return (id & kExtendedIdFlag) != 0; }
  std::uint32_t bareId() const noexcept { return id & ~kExtendedIdFlag; }
};

struct MessageSnapshot {
  double seconds = 0.0;           // measured time at the end of the latest frame
  std::vector<MessageStat> rows;  // by channel, then identifier (extended after standard)
  std::uint64_t unlisted = 0;     // messages of identifiers beyond the bound on the rows
};

using MessageSnapshotPtr = std::shared_ptr<const MessageSnapshot>;

// One signal of a message as its channel's DBC file decodes the message's bytes.
struct DecodedSignal {
  std::string name;  // as session signals are named: "EngineSpeed", or "EEC1.Speed" when the
                     // file has two signals of that name
  std::string unit;
  double value = 0.0;
};

}  // namespace ui
