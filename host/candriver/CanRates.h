#pragma once
// Bit-rate codes of the driver. A negative value is one of the predefined rates below; a positive
// value is a plain rate in bit/s. The plug-in stores and passes the codes as 32-bit integers.
#include <array>
#include <cstdint>

namespace XeCanDriverKvaser {

// Classic CAN bit rate.
enum bitrate_t : std::int32_t {
  BITRATE_1M = -1,
  BITRATE_500K = -2,
  BITRATE_250K = -3,
  BITRATE_125K = -4,
  BITRATE_100K = -5,
  BITRATE_62K = -6,
  BITRATE_50K = -7,
  BITRATE_83K = -8,
  BITRATE_10K = -9,
};

// CAN FD arbitration phase.
enum fd_arbitrationrate_t : std::int32_t {
  FD_ARBITRATION_500K = -1000,
  FD_ARBITRATION_1M = -1001,
};

// CAN FD data phase.
enum fd_datarate_t : std::int32_t {
  FD_DATA_1M = -1001,
  FD_DATA_2M = -1002,
  FD_DATA_4M = -1003,
  FD_DATA_8M = -1004,
};

struct RateCode {
  std::int32_t code;  // predefined code
  std::int32_t rate;  // bit/s
};

inline constexpr std::array<RateCode, 9> kBitrateCodes = {{
    {BITRATE_1M, 1000000},
    {BITRATE_500K, 500000},
    {BITRATE_250K, 250000},
    {BITRATE_125K, 125000},
    {BITRATE_100K, 100000},
    {BITRATE_62K, 62500},
    {BITRATE_50K, 50000},
    {BITRATE_83K, 83333},  // 83.333 kbit/s: the rate of the old truck and body buses
    {BITRATE_10K, 10000},
}};

inline constexpr std::array<RateCode, 2> kFdArbitrationCodes = {{
    {FD_ARBITRATION_500K, 500000},
    {FD_ARBITRATION_1M, 1000000},
}};

inline constexpr std::array<RateCode, 4> kFdDataCodes = {{
    {FD_DATA_1M, 1000000},
    {FD_DATA_2M, 2000000},
    {FD_DATA_4M, 4000000},
    {FD_DATA_8M, 8000000},
}};

// [any] The rate in bit/s of a code of `table`: the table's rate for a predefined code, the value
// itself when positive, 0 (unsupported) otherwise.
template <std::size_t N>
constexpr std::int32_t RateOf(const std::array<RateCode, N>& table, std::int32_t code) noexcept {
  if (code > 0) return code;
  for (const RateCode& row : table)
    if (row.code == code) return row.rate;
  return 0;
}

constexpr std::int32_t BitsPerSecond(bitrate_t code) noexcept {
  return RateOf(kBitrateCodes, code);
}
constexpr std::int32_t BitsPerSecond(fd_arbitrationrate_t code) noexcept {
  return RateOf(kFdArbitrationCodes, code);
}
constexpr std::int32_t BitsPerSecond(fd_datarate_t code) noexcept {
  return RateOf(kFdDataCodes, code);
}

static_assert(BitsPerSecond(BITRATE_83K) == 83333 && BitsPerSecond(bitrate_t{250000}) == 250000);
static_assert(BitsPerSecond(bitrate_t{-10}) == 0 && BitsPerSecond(bitrate_t{0}) == 0);
static_assert(BitsPerSecond(fd_datarate_t{5000000}) == 5000000);

}  // namespace XeCanDriverKvaser
