#pragma once
// CAN identifiers and the driver's frame flags, defined once for the driver, the log formats, the
// analysis library and the plug-in.
//
// CanMessage keeps the identifier without flag bits and the format in kCanFlagExtended. The DBC
// files, the analysis library and the plug-in's CAN packets carry the format in bit 31 of the
// identifier instead (the "flagged" form):
//   flags 0,                id 0x123       <-> 0x00000123  standard 11-bit identifier
//   flags kCanFlagExtended, id 0x123       <-> 0x80000123  extended 29-bit identifier below 0x800
//   flags kCanFlagExtended, id 0x18FEF100  <-> 0x98FEF100
//   0x00000800 (above 0x7FF, no bit 31)     -> 0x80000800  taken as extended (NormaliseFlaggedId)
//   0xE0000123 (bits 29, 30 set)            -> 0x80000123  bits above the 29 dropped
#include <cstdint>

namespace XeCanDriverKvaser {

// Bits of CanMessage::flags. The plug-in never reads them; the driver, the log reader and the
// analysis library do.
inline constexpr std::uint32_t kCanFlagExtended = 0x01;     // 29-bit identifier
inline constexpr std::uint32_t kCanFlagRemote = 0x02;       // remote request; no data bytes
inline constexpr std::uint32_t kCanFlagFd = 0x04;           // CAN FD frame (up to 64 bytes)
inline constexpr std::uint32_t kCanFlagBrs = 0x08;          // CAN FD bit-rate switch
inline constexpr std::uint32_t kCanFlagEsi = 0x10;          // CAN FD error state indicator
inline constexpr std::uint32_t kCanFlagErrorFrame = 0x20;   // error frame (only read from logs)
inline constexpr std::uint32_t kCanFlagTransmitted = 0x40;  // a log marks it as sent (T, Tx)

inline constexpr std::uint32_t kCanIdExtended = 0x80000000u;  // bit 31 of a flagged identifier
inline constexpr std::uint32_t kMaxStandardId = 0x7FFu;       // 11-bit mask
inline constexpr std::uint32_t kMaxExtendedId = 0x1FFFFFFFu;  // 29-bit mask

// [any] The flagged form of a driver identifier and its flags.
constexpr std::uint32_t FlaggedId(std::uint32_t id, std::uint32_t flags) noexcept {
  return (flags & kCanFlagExtended) ? (id & kMaxExtendedId) | kCanIdExtended : id;
}

// [any] A flagged identifier as the tables hold it: above 0x7FF it is extended even without bit
// 31, and an extended one keeps only its 29 bits.
constexpr std::uint32_t NormaliseFlaggedId(std::uint32_t canId) noexcept {
  if (!(canId & kCanIdExtended) && canId > kMaxStandardId) canId |= kCanIdExtended;
  if (canId & kCanIdExtended) canId = (canId & kMaxExtendedId) | kCanIdExtended;
  return canId;
}

// [any] The identifier bits of a flagged identifier (after NormaliseFlaggedId).
constexpr std::uint32_t IdBits(std::uint32_t canId) noexcept {
  return canId & ((canId & kCanIdExtended) ? kMaxExtendedId : kMaxStandardId);
}

static_assert(FlaggedId(0x123, kCanFlagExtended) == 0x80000123u && FlaggedId(0x123, 0) == 0x123);
static_assert(NormaliseFlaggedId(0x800) == 0x80000800u &&
              NormaliseFlaggedId(0xE0000123u) == 0x80000123u && NormaliseFlaggedId(0x7FF) == 0x7FF);
static_assert(IdBits(0x98FEF100u) == 0x18FEF100u && IdBits(0x123) == 0x123);

}  // namespace XeCanDriverKvaser
