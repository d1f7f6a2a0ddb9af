#pragma once
// The settings of a host with sixteen busy channels: each standard source alone on its own virtual
// bus with its own generator at kBusLoad of the bus, the phases spread over the period so that the
// buses are not in lock step, each channel's clock drifting its own way.
#include <filesystem>

namespace testing_support {

inline constexpr int kBusyChannels = 16;
inline constexpr double kBusyBitRate = 500'000.0;
inline constexpr double kBusLoad = 0.8;
inline constexpr int kIdsPerGenerator = 4;
// A classic data frame with an 11-bit identifier and 8 bytes: 111 bits from start of frame to the
// end of the interframe space, plus the stuff bits the 98 stuffed bits can need at most.
inline constexpr int kFrameBits = 111 + (34 + 64 - 1) / 4;
// One generator period carries kIdsPerGenerator frames, so the bus is busy kBusLoad of the time.
// NOLINTBEGIN(bugprone-incorrect-roundings): std::lround is not constexpr; the value is positive
inline constexpr int kPeriodUs =
    static_cast<int>(kIdsPerGenerator * kFrameBits / (kBusLoad * kBusyBitRate) * 1e6 + 0.5);
// NOLINTEND(bugprone-incorrect-roundings)
static_assert(kPeriodUs == 1350);

// Writes Application.sea and candriver.conf into `dir` (created).
void WriteBusySettings(const std::filesystem::path& dir);

}  // namespace testing_support
