#include "host/candriver/BlfFormat.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>

namespace XeCanDriverKvaser::blf {
namespace {

constexpr std::int64_t kMaxLogNs = kMaxLogSeconds * 1'000'000'000;
constexpr std::uint32_t kIdExtended = 0x80000000u;
constexpr std::uint8_t kFlagTx = 0x01;
constexpr std::uint8_t kFlagRemote = 0x80;
constexpr std::uint8_t kFdFlagFd = 0x01;
constexpr std::uint8_t kFdFlagBrs = 0x02;
constexpr std::uint8_t kFdFlagEsi = 0x04;
constexpr std::uint32_t kFd64Remote = 0x0010;
constexpr std::uint32_t kFd64Fd = 0x1000;
constexpr std::uint32_t kFd64Brs = 0x2000;
constexpr std::uint32_t kFd64Esi = 0x4000;
constexpr std::uint32_t kTimeTenMicros = 1;
constexpr std::uint32_t kTimeNanos = 2;
constexpr std::size_t kHeaderV1Size = 32;
constexpr std::size_t kHeaderV2Size = 40;

// Body sizes of the objects read (the least a body must have) and written.
constexpr std::size_t kCanMessageBody = 16;
constexpr std::size_t kCanFdMessageBody = 84;
constexpr std::size_t kCanFdMessage64Head = 40;
constexpr std::size_t kCanErrorExtBody = 32;
static_assert(kHeaderV1Size + kCanFdMessageBody <= kObjectCapacity);
static_assert((kHeaderV1Size + kCanMessageBody) % 4 == 0 &&
              (kHeaderV1Size + kCanFdMessageBody) % 4 == 0 &&
              (kHeaderV1Size + kCanErrorExtBody) % 4 == 0);

void SetChannel(CanLogEntry& entry, unsigned channel) {
  char digits[8];
  const char* end = std::to_chars(digits, digits + sizeof digits, channel).ptr;
  entry.channel.assign(digits, static_cast<std::size_t>(end - digits));
}

// Identifier field: bit 31 marks an extended identifier. A standard one above 0x7FF can only be
// extended.
void SetId(CanMessage& m, std::uint32_t field) noexcept {
  m.id = field & kMaxExtendedId;
  if ((field & kIdExtended) || m.id > kMaxStandardId) m.flags |= kCanFlagExtended;
}

ObjectKind Bad(std::string& reason, std::string text) {
  reason = std::move(text);
  return ObjectKind::Bad;
}

// A classic frame's DLC: lengths above 8 are 8 bytes.
bool ClassicLength(CanMessage& m, unsigned dlc, std::string& reason) {
  if (dlc > 15) {
    reason = "DLC " + std::to_string(dlc) + " in a classic frame";
    return false;
  }
  m.length = static_cast<std::int32_t>(std::min(dlc, 8u));
  return true;
}

// A CAN FD frame's DLC and data (at most `valid` bytes of `data`).
bool FdFrame(CanMessage& m, unsigned dlc, const std::uint8_t* data, unsigned valid,
             std::string& reason) {
  if (dlc > 15) {
    reason = "DLC " + std::to_string(dlc) + " in a CAN FD frame";
    return false;
  }
  if (valid > 64) {
    reason = std::to_string(valid) + " valid data bytes";
    return false;
  }
  m.length = kFdLengths[dlc];
  std::memcpy(m.data, data, std::min<std::size_t>(valid, static_cast<std::size_t>(m.length)));
  return true;
}

ObjectKind DecodeBody(std::uint32_t type, const std::uint8_t* b, std::size_t size,
                      CanLogEntry& entry, std::string& reason) {
  CanMessage& m = entry.message;
  const auto tooShort = [&] {
    return Bad(reason, "object of type " + std::to_string(type) + " with a body of " +
                           std::to_string(size) + " bytes");
  };
  switch (type) {
    case kCanMessage:
    case kCanMessage2: {
      if (size < kCanMessageBody) return tooShort();
      SetChannel(entry, U16(b));
      if (b[2] & kFlagTx) m.flags |= kCanFlagTransmitted;
      SetId(m, U32(b + 4));
      if (!ClassicLength(m, b[3], reason)) return ObjectKind::Bad;
      if (b[2] & kFlagRemote)
        m.flags |= kCanFlagRemote;
      else
        std::memcpy(m.data, b + 8, static_cast<std::size_t>(m.length));
      return ObjectKind::Frame;
    }
    case kCanFdMessage: {
      if (size < kCanFdMessageBody) return tooShort();
      SetChannel(entry, U16(b));
      if (b[2] & kFlagTx) m.flags |= kCanFlagTransmitted;
      SetId(m, U32(b + 4));
      const std::uint8_t fdFlags = b[13];
      if (fdFlags & kFdFlagFd) {
        m.flags |= kCanFlagFd | ((fdFlags & kFdFlagBrs) ? kCanFlagBrs : 0u) |
                   ((fdFlags & kFdFlagEsi) ? kCanFlagEsi : 0u);
        return FdFrame(m, b[3], b + 20, b[14], reason) ? ObjectKind::Frame : ObjectKind::Bad;
      }
      if (!ClassicLength(m, b[3], reason)) return ObjectKind::Bad;
      if (b[2] & kFlagRemote)
        m.flags |= kCanFlagRemote;
      else
        std::memcpy(m.data, b + 20, static_cast<std::size_t>(m.length));
      return ObjectKind::Frame;
    }
    case kCanFdMessage64: {
      if (size < kCanFdMessage64Head || size < kCanFdMessage64Head + b[2]) return tooShort();
      SetChannel(entry, b[0]);
      if (b[34] != 0) m.flags |= kCanFlagTransmitted;
      SetId(m, U32(b + 4));
      const std::uint32_t flags = U32(b + 12);
      if (flags & kFd64Fd) {
        m.flags |= kCanFlagFd | ((flags & kFd64Brs) ? kCanFlagBrs : 0u) |
                   ((flags & kFd64Esi) ? kCanFlagEsi : 0u);
        return FdFrame(m, b[1], b + kCanFdMessage64Head, b[2], reason) ? ObjectKind::Frame
                                                                       : ObjectKind::Bad;
      }
      if (!ClassicLength(m, b[1], reason)) return ObjectKind::Bad;
      if (flags & kFd64Remote)
        m.flags |= kCanFlagRemote;
      else
        std::memcpy(m.data, b + kCanFdMessage64Head,
                    std::min<std::size_t>(b[2], static_cast<std::size_t>(m.length)));
      return ObjectKind::Frame;
    }
    case kCanError:
    case kCanErrorExt:
    case kCanFdError64:
      if (size < (type == kCanFdError64 ? 1u : 2u)) return tooShort();
      SetChannel(entry, type == kCanFdError64 ? b[0] : U16(b));
      m.flags |= kCanFlagErrorFrame;
      return ObjectKind::Frame;
    default:
      return ObjectKind::Skipped;
  }
}

bool IsFrameType(std::uint32_t type) noexcept {
  return type == kCanMessage || type == kCanMessage2 || type == kCanFdMessage ||
         type == kCanFdMessage64 || type == kCanError || type == kCanErrorExt ||
         type == kCanFdError64;
}

}  // namespace

std::uint16_t U16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t U64(const std::uint8_t* p) noexcept {
  return static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
}
void Put16(std::uint8_t* p, std::uint16_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) noexcept {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::uint64_t v) noexcept {
  Put32(p, static_cast<std::uint32_t>(v));
  Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

std::optional<std::int64_t> ReadSystemTime(const std::uint8_t* p) noexcept {
  using namespace std::chrono;
  const unsigned hour = U16(p + 8), minute = U16(p + 10), second = U16(p + 12), ms = U16(p + 14);
  const year_month_day date{year(U16(p)), month(U16(p + 2)), day(U16(p + 6))};
  if (!date.ok() || date.year() < year(1970) || hour > 23 || minute > 59 || second > 59 || ms > 999)
    return std::nullopt;
  const std::int64_t days = sys_days(date).time_since_epoch().count();
  const std::int64_t seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
  if (seconds >= kMaxLogSeconds) return std::nullopt;
  return seconds * 1'000'000'000 + static_cast<std::int64_t>(ms) * 1'000'000;
}

void WriteSystemTime(std::uint8_t* p, std::int64_t ns) noexcept {
  using namespace std::chrono;
  constexpr std::int64_t kNsPerDay = 86'400'000'000'000;
  const sys_days day{days(ns / kNsPerDay)};
  const year_month_day date(day);
  const std::int64_t inDay = ns % kNsPerDay;
  const auto field = [&](std::size_t index, std::int64_t value) {
    Put16(p + 2 * index, static_cast<std::uint16_t>(value));
  };
  field(0, static_cast<int>(date.year()));
  field(1, static_cast<unsigned>(date.month()));
  field(2, weekday(day).c_encoding());
  field(3, static_cast<unsigned>(date.day()));
  field(4, inDay / 3'600'000'000'000);
  field(5, inDay / 60'000'000'000 % 60);
  field(6, inDay / 1'000'000'000 % 60);
  field(7, inDay / 1'000'000 % 1000);
}

void WriteFileHeader(std::span<std::uint8_t, kFileHeaderSize> out,
                     const FileHeader& header) noexcept {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  std::uint8_t* p = out.data();
  std::copy(kFileSignature.begin(), kFileSignature.end(), p);
  Put32(p + 4, kFileHeaderSize);
  // Application 0 (unknown) 0.0.0; format version 2.6.8.1, as other writers of the format use.
  p[12] = 2;
  p[13] = 6;
  p[14] = 8;
  p[15] = 1;
  Put64(p + 16, header.fileSize);
  Put64(p + 24, header.uncompressedSize);
  Put32(p + 32, header.objectCount);
  if (header.startNs) WriteSystemTime(p + 40, *header.startNs);
  if (header.stopNs) WriteSystemTime(p + 56, *header.stopNs);
}

ObjectKind DecodeObject(std::span<const std::uint8_t> object, std::int64_t startNs,
                        CanLogEntry& entry, std::string& reason) {
  const std::uint8_t* p = object.data();
  const std::uint32_t type = U32(p + 12);
  if (!IsFrameType(type)) return ObjectKind::Skipped;
  const std::size_t headerSize = U16(p + 4);
  const unsigned version = U16(p + 6);
  if (version != 1 && version != 2)
    return Bad(reason, "object header version " + std::to_string(version) + " unknown");
  if (headerSize < (version == 1 ? kHeaderV1Size : kHeaderV2Size) || headerSize > object.size())
    return Bad(reason, "object header of " + std::to_string(headerSize) + " bytes");
  // Version 1 and 2 headers both hold the flags at 16 and the time at 24; any flags but 10 µs
  // units mean nanoseconds.
  const std::uint32_t timeFlags = U32(p + 16);
  const std::uint64_t time = U64(p + 24);
  const std::uint64_t unit = timeFlags == kTimeTenMicros ? 10'000 : 1;
  if (time >= static_cast<std::uint64_t>(kMaxLogNs - startNs) / unit)
    return Bad(reason,
               "time " + std::to_string(time) + " beyond " + std::to_string(kMaxLogSeconds) + " s");
  entry.timeNs = startNs + static_cast<std::int64_t>(time * unit);
  return DecodeBody(type, p + headerSize, object.size() - headerSize, entry, reason);
}

std::size_t EncodeObject(std::span<std::uint8_t, kObjectCapacity> out, std::uint64_t offsetNs,
                         std::uint16_t channel, const CanMessage& m) noexcept {
  std::uint8_t* p = out.data();
  std::uint8_t* b = p + kHeaderV1Size;
  std::uint32_t type = kCanMessage;
  std::size_t body = kCanMessageBody;
  const bool extended = (m.flags & kCanFlagExtended) != 0 || m.id > kMaxStandardId;
  const std::uint32_t id = (m.id & kMaxExtendedId) | (extended ? kIdExtended : 0u);
  const auto flags = static_cast<std::uint8_t>((m.flags & kCanFlagTransmitted) ? kFlagTx : 0);
  if (m.flags & kCanFlagErrorFrame) {
    type = kCanErrorExt;
    body = kCanErrorExtBody;
    std::fill_n(b, body, std::uint8_t{0});
    Put16(b, channel);
  } else if (m.flags & kCanFlagFd) {
    type = kCanFdMessage;
    body = kCanFdMessageBody;
    std::fill_n(b, body, std::uint8_t{0});
    const int length = std::clamp(m.length, 0, 64);
    std::uint8_t dlc = 0;
    while (dlc < 15 && kFdLengths[dlc] < length)
      ++dlc;
    Put16(b, channel);
    b[2] = flags;
    b[3] = dlc;
    Put32(b + 4, id);
    b[13] = static_cast<std::uint8_t>(kFdFlagFd | ((m.flags & kCanFlagBrs) ? kFdFlagBrs : 0) |
                                      ((m.flags & kCanFlagEsi) ? kFdFlagEsi : 0));
    b[14] = static_cast<std::uint8_t>(length);
    std::memcpy(b + 20, m.data, static_cast<std::size_t>(length));
  } else {
    std::fill_n(b, body, std::uint8_t{0});
    const int length = std::clamp(m.length, 0, 8);
    Put16(b, channel);
    b[2] = static_cast<std::uint8_t>(flags | ((m.flags & kCanFlagRemote) ? kFlagRemote : 0));
    b[3] = static_cast<std::uint8_t>(length);
    Put32(b + 4, id);
    if (!(m.flags & kCanFlagRemote)) std::memcpy(b + 8, m.data, static_cast<std::size_t>(length));
  }
  const std::size_t size = kHeaderV1Size + body;
  std::copy(kObjectSignature.begin(), kObjectSignature.end(), p);
  Put16(p + 4, static_cast<std::uint16_t>(kHeaderV1Size));
  Put16(p + 6, 1);
  Put32(p + 8, static_cast<std::uint32_t>(size));
  Put32(p + 12, type);
  Put32(p + 16, kTimeNanos);
  Put32(p + 20, 0);  // client, object version
  Put64(p + 24, offsetNs);
  return size;
}

}  // namespace XeCanDriverKvaser::blf
