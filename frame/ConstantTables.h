#pragma once
// The plug-in's constant tables: CAN rate codes of the driver with their labels and nominal rates,
// the source types and the parameter-database keys of the per-channel DBC files.
//
// A combo table is a vector of codes indexed by combo position plus an ordered map from the same
// position to the label. The dialogs fill their combo boxes from the labels, turn a selected
// position into a code through the vector and show a stored code at CodePosition(codes, code).
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "host/candriver/CanRates.h"
#include "host/mfc/CString.h"

namespace can {

struct RateRow {
  std::int32_t code;     // driver code (negative: predefined rate) or a plain rate in bit/s
  const wchar_t* label;  // combo label
  std::int32_t nominal;  // nominal rate in bit/s, for the data-rate estimate
};

// Classic CAN bit rates, ordered by rate; the codes are the driver's predefined bitrate_t values,
// which is why they are not in numeric order (-7 and -6 come before -8).
inline constexpr std::array<RateRow, 9> kBitrates = {{
    {XeCanDriverKvaser::BITRATE_10K, L"10k", 10000},
    {XeCanDriverKvaser::BITRATE_50K, L"50k", 50000},
    {XeCanDriverKvaser::BITRATE_62K, L"62k", 62500},
    {XeCanDriverKvaser::BITRATE_83K, L"83k", 83333},
    {XeCanDriverKvaser::BITRATE_100K, L"100k", 100000},
    {XeCanDriverKvaser::BITRATE_125K, L"125k", 125000},
    {XeCanDriverKvaser::BITRATE_250K, L"250k", 250000},
    {XeCanDriverKvaser::BITRATE_500K, L"500k", 500000},
    {XeCanDriverKvaser::BITRATE_1M, L"1M", 1000000},
}};

// CAN FD arbitration phase (fd_arbitrationrate_t).
inline constexpr std::array<RateRow, 2> kFdArbitrationRates = {{
    {XeCanDriverKvaser::FD_ARBITRATION_500K, L"500k", 500000},
    {XeCanDriverKvaser::FD_ARBITRATION_1M, L"1M", 1000000},
}};

// CAN FD data phase (fd_datarate_t). Row 3 is a plain rate in bit/s, not a predefined code: the
// driver accepts both forms.
inline constexpr std::array<RateRow, 5> kFdDataRates = {{
    {XeCanDriverKvaser::FD_DATA_1M, L"1M", 1000000},
    {XeCanDriverKvaser::FD_DATA_2M, L"2M", 2000000},
    {XeCanDriverKvaser::FD_DATA_4M, L"4M", 4000000},
    {5000000, L"5M", 5000000},
    {XeCanDriverKvaser::FD_DATA_8M, L"8M", 8000000},
}};

// Source types: the first argument of the source module's source creation.
inline constexpr std::array<const wchar_t*, 3> kSourceTypes = {
    L"Standard CAN Source", L"CAN Vehicle Simulation", L"CAN Sequencer"};

// Parameter-database keys of the DBC file of bus channels 0 and 1.
inline constexpr std::array<const wchar_t*, 2> kDbcFileKeys = {L"CAN_Channel_Zero_DBC_File",
                                                               L"CAN_Channel_One_DBC_File"};

// The stored codes are clamped to these ranges when parameters are read.
inline constexpr std::int32_t kMinBitrateCode = XeCanDriverKvaser::BITRATE_10K;
inline constexpr std::int32_t kMaxBitrateCode = XeCanDriverKvaser::BITRATE_1M;
static_assert(kBitrates.front().code == kMinBitrateCode && kBitrates.back().code == kMaxBitrateCode,
              "the bit-rate code range spans the first and last rows");

constexpr bool CodesUnique(const auto& table) {
  for (std::size_t i = 0; i < table.size(); ++i)
    for (std::size_t j = i + 1; j < table.size(); ++j)
      if (table[i].code == table[j].code) return false;
  return true;
}
static_assert(CodesUnique(kBitrates) && CodesUnique(kFdArbitrationRates) &&
              CodesUnique(kFdDataRates));

// Each row's nominal rate is the rate the driver runs its code at.
constexpr bool NominalsMatchDriver(const auto& rows, const auto& driverCodes) {
  for (const auto& row : rows)
    if (XeCanDriverKvaser::RateOf(driverCodes, row.code) != row.nominal) return false;
  return true;
}
static_assert(NominalsMatchDriver(kBitrates, XeCanDriverKvaser::kBitrateCodes));
static_assert(NominalsMatchDriver(kFdArbitrationRates, XeCanDriverKvaser::kFdArbitrationCodes));
static_assert(NominalsMatchDriver(kFdDataRates, XeCanDriverKvaser::kFdDataCodes));

// Nominal rate of a classic bit-rate code; 0 for a code not in the table.
constexpr std::int32_t NominalBitrate(std::int32_t code) {
  for (const auto& row : kBitrates)
    if (row.code == code) return row.nominal;
  return 0;
}
// Nominal rate of an FD data-rate code; any other code is a rate in bit/s itself.
constexpr std::int32_t NominalFdDataRate(std::int32_t code) {
  for (const auto& row : kFdDataRates)
    if (row.code == code) return row.nominal;
  return code;
}

// Position of a code in a code vector; 0 when the code is absent.
int CodePosition(const std::vector<std::int32_t>& codes, std::int32_t code);

}  // namespace can

// The combo tables, built at load time.
extern const std::vector<std::int32_t> BitrateCodes;
extern const std::map<int, CString> BitrateLabels;
extern const std::vector<std::int32_t> FdArbitrationCodes;
extern const std::map<int, CString> FdArbitrationLabels;
extern const std::vector<std::int32_t> FdDataRateCodes;
extern const std::map<int, CString> FdDataRateLabels;
extern const std::map<int, CString> SourceTypeLabels;
extern const std::vector<CString> DbcFileKeys;
