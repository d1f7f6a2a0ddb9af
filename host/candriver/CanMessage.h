#pragma once
// One CAN or CAN FD frame as the driver hands it to the read monitors, and as it takes it for
// sending. Plain data: copyable, comparable field by field, 88 bytes.
#include <array>
#include <cstdint>
#include <type_traits>

#include "host/candriver/CanId.h"

namespace XeCanDriverKvaser {

struct CanMessage {
  // Payload. Bytes [0, length) are meaningful, the rest are zero. A remote request has none.
  std::uint8_t data[64] = {};
  // Driver channel number the message was received on. Ignored when sending.
  std::int32_t channel = 0;
  // Identifier without flag bits: 0..0x7FF, or 0..0x1FFFFFFF with kCanFlagExtended.
  std::uint32_t id = 0;
  // Payload length in bytes: 0..8 for classic CAN; 0..8, 12, 16, 20, 24, 32, 48 or 64 for CAN
  // FD; for a remote request the length it asks for (0..8).
  std::int32_t length = 0;
  // kCanFlag* bits. The plug-in leaves this word alone; the driver and the log reader use it.
  std::uint32_t flags = 0;
  // Channel clock at reception: 125 µs ticks, wraps at 2^32 (about 6.2 days). Each channel counts
  // from its own offset and with its own drift, as a hardware clock does. The DBC decoder wrapper
  // reuses the field for a frame number.
  std::uint32_t timestamp = 0;
  // 0 from the driver; 1 when the message was rebuilt from a CAN packet of the host's data stream.
  std::int32_t tail = 0;
};
static_assert(std::is_trivially_copyable_v<CanMessage> && sizeof(CanMessage) == 88);

// The payload lengths a CAN FD frame can have, indexed by its DLC (0..15).
inline constexpr std::array<std::int32_t, 16> kFdLengths = {0, 1,  2,  3,  4,  5,  6,  7,
                                                            8, 12, 16, 20, 24, 32, 48, 64};

// [any] True for a length a CAN FD frame can carry.
constexpr bool IsFdLength(std::int32_t length) noexcept {
  for (const std::int32_t l : kFdLengths)
    if (l == length) return true;
  return false;
}
static_assert(IsFdLength(12) && !IsFdLength(9) && !IsFdLength(65));

// [any] Checks a message for sending or delivery: identifier range, length and flags that agree.
// An identifier above 0x7FF without kCanFlagExtended, or with bit 31 set (the DBC way of marking
// an extended identifier), is taken as extended; `message` is corrected in place.
constexpr bool NormaliseMessage(CanMessage& message) noexcept {
  if (message.id & kCanIdExtended) {
    message.id &= ~kCanIdExtended;
    message.flags |= kCanFlagExtended;
  }
  if (message.id > kMaxStandardId) message.flags |= kCanFlagExtended;
  if (message.id > kMaxExtendedId) return false;
  if (message.flags & kCanFlagFd) {
    return !(message.flags & kCanFlagRemote) && IsFdLength(message.length);
  }
  return message.length >= 0 && message.length <= 8;
}

}  // namespace XeCanDriverKvaser
