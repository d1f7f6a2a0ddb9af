#pragma once
// Periodic traffic on a virtual bus, so that the host sees real messages without hardware. Frames
// are a pure function of the period index, and period k is due at host time phase + k * period:
// every channel of the bus sees the same frames, and with a manual clock exactly the frames due up
// to the clock's time.
//
// Options of a generator line (see CanDriver.h for the whole line):
//   id=123,18FEF100    identifiers, hex; 8 digits or above 7FF: extended. One frame per identifier
//                      and period, in this order.
//   period=10ms        period (ms, us or s; no unit: ms), required
//   phase=2ms          due times are shifted by this (below the period), default 0
//   length=8           payload length, default 8 (or the size of a fixed payload)
//   data=counter       counter: the period index k, little-endian in bytes 0..3, zeros after
//                      ramp:    byte i = (k + i) mod 256
//                      random:  bytes from a fixed hash of identifier and k (the same every run)
//                      DEADBEEF: these bytes every time
//   fd=1 brs=1         CAN FD frames (only channels opened in CAN FD mode see them), bit-rate
//   switch
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/candriver/CanMessage.h"
#include "host/candriver/ConfigOptions.h"

namespace XeCanDriverKvaser::detail {

class TrafficGenerator {
 public:
  enum class Pattern { Counter, Ramp, Random, Fixed };

  // [ui] Reads a generator's options; nullopt with the reason in `error` when they are wrong.
  static std::optional<TrafficGenerator> Parse(const ConfigOptions& options, std::string& error);

  std::int64_t periodNs() const noexcept { return m_periodNs; }
  // Frames per period: one per identifier.
  std::size_t frames() const noexcept { return m_ids.size(); }
  bool fd() const noexcept { return m_fd; }

  // [any] Due host time of period k.
  std::int64_t DueNs(std::int64_t k) const noexcept { return m_phaseNs + k * m_periodNs; }
  // [any] The first period due strictly after host time `t`.
  std::int64_t FirstPeriodAfter(std::int64_t t) const noexcept;
  // [reception] Frame `index` (0..frames()-1) of period k; channel and timestamp are left alone.
  void Fill(std::int64_t k, std::size_t index, CanMessage& message) const noexcept;

 private:
  // The steps of Parse, in the order its errors are found; false with the reason in `error`.
  bool ReadIds(const ConfigOptions& options, std::string& error);
  bool ReadTiming(const ConfigOptions& options, std::string& error);
  bool ReadFrameKind(const ConfigOptions& options, std::string& error);
  bool ReadData(const ConfigOptions& options, std::string& error);
  bool ReadLength(const ConfigOptions& options, std::string& error);

  std::vector<std::uint32_t> m_ids;
  std::vector<bool> m_extended;
  std::int64_t m_periodNs = 0;
  std::int64_t m_phaseNs = 0;
  std::int32_t m_length = 8;
  Pattern m_pattern = Pattern::Counter;
  std::vector<std::uint8_t> m_fixed;
  bool m_fd = false;
  bool m_brs = false;
};

}  // namespace XeCanDriverKvaser::detail
