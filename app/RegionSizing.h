#pragma once
// How much room canhost gives the CAN source module in the container. The module places a packet
// at the byte that encodes its time and may push it at most 10 ticks (1.25 ms) later when earlier
// packets take the place; what cannot be placed within that slack is lost. The room must therefore
// follow what the buses can carry, not their bit rate / 8 (the module's own estimate): a remote
// frame asking for 8 bytes is 47 bits on the wire and a 16-byte packet, 2.7 times bit rate / 8.
//
// The region is sized for every active channel at 100 % bus load of its densest frames at once:
//   sustained  region bytes per tick >= 1.05 x the sum of the channels' peak bytes per tick
//              (the margin covers clocks that run up to 1000 ppm fast and re-synchronisation steps)
//   bursts     the stamps of one tick arrive together, so 10 ticks of room hold one tick of every
//              channel plus one largest packet each, and one more packet that reaches past the
//              end of a frame (it waits for the next one and must still be in time there)
//
// Examples (slow samples of 1 ms):
//   2 classic channels at 500 kbit/s   -> 90 floats a sample  (bit rate / 8 gives 32)
//   16 classic channels at 500 kbit/s  -> 715 floats a sample (bit rate / 8 gives 250)
//   1 CAN FD channel 500 kbit/s, 8 Mbit/s data -> 151 floats (64-byte frames, 572 kB/s)
#include <span>

#include "host/candriver/CanPort.h"

namespace app {

class RegionSizing {
 public:
  using BusParams = XeCanDriverKvaser::detail::BusParams;

  // [any] Packet bytes per second the channel brings at 100 % bus load of its densest frames
  // (fewest bits on the wire per packet byte; no stuff bits, 3 bits between frames).
  static double PeakBytesPerSecond(const BusParams& bus) noexcept;
  // [any] Floats per slow sample of `samplePeriod` seconds that lose nothing the channels carry;
  // 0 for no channel.
  static unsigned FloatsPerSample(std::span<const BusParams> channels,
                                  double samplePeriod) noexcept;
};

}  // namespace app
