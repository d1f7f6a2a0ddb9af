#pragma once
// The clock of one channel: the host clock seen through a hardware clock that started at another
// moment (offset) and runs a little fast or slow (drift), so that the host's time alignment has
// real work to do. With offset 0 and drift 0 a channel counts exactly the host's 125 µs ticks.
//
//   channel ns    = host ns + floor(host ns * drift ppb / 10^9)
//   channel ticks = floor(channel ns / 125000) + offset ticks, taken modulo 2^32
//
// Examples (host time -> ticks):
//   offset 0,    drift 0:        10 s -> 80000
//   offset 8000, drift 0:        10 s -> 88000
//   offset 0,    drift +100 ppm: 10 s -> 80008      (1 ms gained in 10 s)
//   offset 0,    drift -12.5 ppm: 20 s -> 159998    (250 µs lost)
//   offset -1,   drift 0:         0 s -> 4294967295 (wraps)
#include <cstdint>

namespace XeCanDriverKvaser::detail {

struct ChannelClock {
  std::int64_t offsetTicks = 0;  // ticks added to the count; any value, the count wraps at 2^32
  std::int64_t driftPpb = 0;     // rate error in parts per 10^9, within ±10^6 (±1000 ppm)

  static constexpr std::int64_t kTickNs = 125'000;

  static constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) noexcept {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
  }

  // Channel time in ns at a host time; split in whole seconds so that the product cannot overflow.
  constexpr std::int64_t ChannelNs(std::int64_t hostNs) const noexcept {
    const std::int64_t seconds = FloorDiv(hostNs, 1'000'000'000);
    const std::int64_t rest = hostNs - seconds * 1'000'000'000;
    return hostNs + seconds * driftPpb + FloorDiv(rest * driftPpb, 1'000'000'000);
  }

  // Channel ticks at a host time. Added modulo 2^32, so that any offset is fine.
  constexpr std::uint32_t TicksAt(std::int64_t hostNs) const noexcept {
    return static_cast<std::uint32_t>(FloorDiv(ChannelNs(hostNs), kTickNs)) +
           static_cast<std::uint32_t>(offsetTicks);
  }
};

static_assert(ChannelClock{0, 0}.TicksAt(10'000'000'000) == 80000);
static_assert(ChannelClock{8000, 0}.TicksAt(10'000'000'000) == 88000);
static_assert(ChannelClock{0, 100'000}.TicksAt(10'000'000'000) == 80008);
static_assert(ChannelClock{0, -12'500}.TicksAt(20'000'000'000) == 159998);
static_assert(ChannelClock{-1, 0}.TicksAt(0) == 4294967295u);
static_assert(ChannelClock{INT64_MAX, 0}.TicksAt(0) == 4294967295u);
static_assert(ChannelClock{INT64_MIN, 0}.TicksAt(8'000'000'000) == 64000);

}  // namespace XeCanDriverKvaser::detail
