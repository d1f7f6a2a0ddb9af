#pragma once
// One clock of the host's time alignment. A capsule extends a wrapping raw counter (a CAN
// controller's 24-bit timestamp, the 32-bit USB tick count, the frame count of ticks) into a 64-bit
// time line in ticks of the time machine (125 µs):
//
//   current time = base + counter + offset - delay
//
// Its owner writes the fields directly; the time machine (CTimeMachine) owns offset and the two
// sync words. A capsule is not locked: "[processing]" below means the acquisition's thread while it
// runs, or [ui] while it is stopped (never both at once).
#include <cstdint>
#include <functional>

class CTimeCapsule {
 public:
  // [any] A fresh capsule: all numbers 0, weight 1.0, no callbacks, no raw-time source.
  // bits: width of the raw counter, 1..62; shift: see m_shift.
  explicit CTimeCapsule(std::uint32_t bits = 24, std::int32_t shift = 0);

  // Width of the raw counter in bits (24 for CAN channels, 32 for the USB and frame capsules).
  std::uint32_t m_bits;
  // Raw values are scaled to ticks by a left shift (positive) or an arithmetic right shift
  // (negative); 0 when the raw clock already counts in ticks.
  std::int32_t m_shift;
  // Added to the counter when the raw value wraps: 2^bits, shifted like a raw value.
  std::int64_t m_wrap;
  // Mask of a raw value: 2^bits - 1.
  std::int64_t m_mask;
  // Bits of the counter a (shifted) raw value replaces: the mask, shifted like a raw value.
  std::int64_t m_counterMask;
  // Capsule to follow when there is no raw-time source (not owned); null for CAN channels.
  CTimeCapsule* m_master = nullptr;
  // Start of the time line, ticks (the USB time at the start of an acquisition, for a channel).
  std::int64_t m_base = 0;
  // Raw counter extended over wraps, ticks; grows by m_wrap per wrap.
  std::int64_t m_counter = 0;
  // Last raw value, masked (0 .. m_mask).
  std::int64_t m_last = 0;
  // Correction set by the time machine so that the capsule follows its reference, ticks.
  std::int64_t m_offset = 0;
  // Sub-tick part of the time machine's correction: the exact correction is
  // m_offset + m_syncFraction / 2^32 ticks; range -2^31 .. 2^31. Keeps small, smoothed corrections
  // from being lost to rounding.
  std::int64_t m_syncFraction = 0;
  // Bit 0: set once the time machine has aligned the capsule since its last reset.
  // Bits 63..1 (signed, m_syncRate >> 1): estimated rate of the correction, in 2^-40 ticks per
  // counter tick (the relative clock drift, 100 ppm = 109951163). The time machine adds
  // rate x counter progress to the correction every frame, so that the capsule follows its drift
  // between two synchronisations.
  std::int64_t m_syncRate = 0;
  // Share of a measured error the time machine corrects per synchronisation, 0 < weight <= 1.
  double m_weight = 1.0;
  // Subtracted from the capsule's time, ticks (the configured bus delay of a CAN channel). The
  // time machine aligns base + counter + offset, so the delay stays a deliberate shift.
  std::int64_t m_delay = 0;
  // Run by reset() (after the fields are cleared).
  std::function<void()> m_resetCallback;
  // Run after every raw update.
  std::function<void()> m_updateCallback;
  // The capsule's clock: the current raw value (a negative result means "clock not running").
  std::function<std::int64_t()> m_rawTime;

  // [processing] Takes a new raw value: replaces the counter's low part, counts a wrap when the
  // masked value is below the last one, runs the update callback.
  void raw_update(std::int64_t raw);
  // [processing] Updates from the clock: the raw-time source's value; without one, the master's
  // counter and last value. Returns false when the capsule has neither (it then stays as it is).
  bool update();
  // [processing] Clears counter, last value, offset, both sync words and delay, then runs the reset
  // callback. Base, weight and the callbacks are kept.
  void reset();
  // [any] base + counter + offset - delay, ticks.
  std::int64_t time() const noexcept { return m_base + m_counter + m_offset - m_delay; }
  // [any] Distance in ticks from the last raw value to a stamp of the same raw clock, taking the
  // nearer reading across a wrap: within half a wrap after the last value the stamp is later,
  // otherwise earlier. With 24 bits: last 16777000, stamp 100 -> 316; last 100, stamp 16777000
  // -> -316; last 500, stamp 400 -> -100.
  std::int64_t delta(std::int64_t stamp) const noexcept;
  // [any] The time of a stamp on this capsule's time line: time() + delta(stamp), ticks.
  std::int64_t stamp_time(std::int64_t stamp) const noexcept { return time() + delta(stamp); }
  // [any] A raw distance scaled by the shift.
  std::int64_t scaled(std::int64_t rawDistance) const noexcept;
  // [any] Whether update() can read the capsule's clock (a raw-time source or a master).
  bool has_clock() const noexcept { return m_rawTime || m_master != nullptr; }
  // [any] Whether the time machine has aligned the capsule since its last reset.
  bool synced() const noexcept { return (m_syncRate & 1) != 0; }
};
