#include "frame/ConstantTables.h"

#include <algorithm>

namespace can {
int CodePosition(const std::vector<std::int32_t>& codes, std::int32_t code) {
  const auto it = std::find(codes.begin(), codes.end(), code);
  return it == codes.end() ? 0 : static_cast<int>(it - codes.begin());
}
}  // namespace can

namespace {
template <std::size_t N>
std::vector<std::int32_t> Codes(const std::array<can::RateRow, N>& rows) {
  std::vector<std::int32_t> codes;
  codes.reserve(N);
  for (const auto& row : rows)
    codes.push_back(row.code);
  return codes;
}
template <std::size_t N>
std::map<int, CString> Labels(const std::array<can::RateRow, N>& rows) {
  std::map<int, CString> labels;
  for (std::size_t i = 0; i < N; ++i)
    labels.emplace(static_cast<int>(i), rows[i].label);
  return labels;
}
std::map<int, CString> TypeLabels() {
  std::map<int, CString> labels;
  for (std::size_t i = 0; i < can::kSourceTypes.size(); ++i)
    labels.emplace(static_cast<int>(i), can::kSourceTypes[i]);
  return labels;
}
}  // namespace

const std::vector<std::int32_t> BitrateCodes = Codes(can::kBitrates);
const std::map<int, CString> BitrateLabels = Labels(can::kBitrates);
const std::vector<std::int32_t> FdArbitrationCodes = Codes(can::kFdArbitrationRates);
const std::map<int, CString> FdArbitrationLabels = Labels(can::kFdArbitrationRates);
const std::vector<std::int32_t> FdDataRateCodes = Codes(can::kFdDataRates);
const std::map<int, CString> FdDataRateLabels = Labels(can::kFdDataRates);
const std::map<int, CString> SourceTypeLabels = TypeLabels();
const std::vector<CString> DbcFileKeys = {can::kDbcFileKeys[0], can::kDbcFileKeys[1]};
