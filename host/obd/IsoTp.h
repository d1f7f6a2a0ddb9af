#pragma once
// ISO 15765-2 transport on classic 8-byte CAN frames, as OBD-II (ISO 15765-4) uses it: the frame
// builders of both sides and the tester's reassembly of an answer. Byte 0 is the protocol control
// information (PCI); unused bytes are padded.
//
// Frames (hex bytes) -> meaning:
//   02 01 0C 55 55 55 55 55  -> single frame, 2 bytes: 01 0C
//   10 14 49 02 01 57 56 5A  -> first frame of 0x014 = 20 bytes, the first 6 of them here
//   21 53 4D 34 39 4E 38 54  -> consecutive frame 1 (sequence numbers count 1..15, 0, 1, ...)
//   30 00 05 55 55 55 55 55  -> flow control: continue, no block limit, 5 ms between frames
//   30 00 F3 ...             -> flow control: continue, 300 us between frames
//   31 ... / 32 ...          -> flow control: wait / overflow (abort)
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "host/candriver/CanMessage.h"

namespace XeCanAnalysis {

using XeCanDriverKvaser::CanMessage;

inline constexpr std::size_t kIsoTpSingleMax = 7;    // payload of a single frame
inline constexpr std::size_t kIsoTpFirstData = 6;    // payload bytes in a first frame
inline constexpr std::size_t kIsoTpConsecutive = 7;  // payload bytes in a consecutive frame
inline constexpr std::size_t kIsoTpMaxLength = 4095;

enum class IsoTpKind : std::uint8_t { Single = 0, First = 1, Consecutive = 2, FlowControl = 3 };
enum class FlowStatus : std::uint8_t { Continue = 0, Wait = 1, Overflow = 2 };

// [any] An 8-byte frame to `id`: the PCI-led bytes `bytes`, the rest `pad`.
CanMessage IsoTpFrame(std::uint32_t id, std::span<const std::uint8_t> bytes, std::uint8_t pad);
// [any] The single frame, or the first frame, carrying `payload` (at most kIsoTpMaxLength bytes).
CanMessage IsoTpStart(std::uint32_t id, std::span<const std::uint8_t> payload, std::uint8_t pad);
// [any] The consecutive frame with sequence number `index` (1, 2, ...) of `payload`.
CanMessage IsoTpConsecutive(std::uint32_t id, std::span<const std::uint8_t> payload,
                            std::size_t index, std::uint8_t pad);
// [any] Flow control frame.
CanMessage IsoTpFlowControl(std::uint32_t id, FlowStatus status, std::uint8_t blockSize,
                            std::uint8_t separation, std::uint8_t pad);
// [any] Number of consecutive frames a payload of `length` bytes needs after its first frame.
std::size_t IsoTpConsecutiveCount(std::size_t length) noexcept;
// [any] The frame's kind; nullopt for an empty or unknown PCI.
std::optional<IsoTpKind> IsoTpKindOf(const CanMessage& frame) noexcept;
// [any] A separation time byte as ns: 0..127 ms, F1..F9 100..900 us, reserved values 127 ms.
std::int64_t SeparationNs(std::uint8_t separation) noexcept;

// The tester's side of one answer: single frame, or first frame and its consecutive frames.
class IsoTpReceiver {
 public:
  enum class Result {
    Ignored,     // not a frame of a transfer (flow control, malformed, out of sequence)
    Complete,    // payload() holds a whole answer
    FirstFrame,  // a multi-frame answer began: send flow control
    InProgress,  // a consecutive frame was taken
  };
  // [any] Takes one received frame.
  Result Feed(const CanMessage& frame);
  const std::vector<std::uint8_t>& payload() const noexcept { return m_data; }
  bool busy() const noexcept { return m_expected != 0; }

 private:
  std::vector<std::uint8_t> m_data;
  std::size_t m_expected = 0;  // length of the multi-frame answer underway, 0: none
  std::uint8_t m_nextSeq = 0;
};

}  // namespace XeCanAnalysis
