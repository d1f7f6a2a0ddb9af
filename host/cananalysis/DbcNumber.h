#pragma once
// Numbers of DBC files, read the same way whatever the process locale:
//   "42" -> 42        "-7" -> -7        "+3" -> 3         "0x1F" -> 31
//   "1E-005" -> 1e-05 "3.4E+038" -> 3.4e+38             ".5" -> 0.5
//   "8.0" -> 8 as an integer, "8.5" is no integer       "1E+400" -> no number (out of range)
#include <cstdint>
#include <string_view>

namespace XeCanAnalysis {

// [any] Each returns false, leaving `out` unchanged, when the text is not such a number.
bool ParseDbcDouble(std::string_view text, double& out) noexcept;
bool ParseDbcInt(std::string_view text, std::int64_t& out) noexcept;
bool ParseDbcUInt(std::string_view text, std::uint64_t& out) noexcept;

}  // namespace XeCanAnalysis
