#include "host/paramdb/CMeasuringUnit.h"

#include <array>
#include <string>

namespace {

// Symbols by unit code.
constexpr std::array<const wchar_t*, 31> kSymbols = {
    L"",           // 0  no unit
    L"",           // 1  own text of the property
    L"V",          // 2  voltage
    L"A",          // 3  current
    L"\u03A9",     // 4  resistance
    L"W",          // 5  power
    L"Hz",         // 6  frequency
    L"s",          // 7  time
    L"m",          // 8  length
    L"g",          // 9  mass
    L"N",          // 10 force
    L"Pa",         // 11 pressure
    L"bar",        // 12 pressure
    L"\u00B0C",    // 13 temperature
    L"K",          // 14 temperature
    L"m/s",        // 15 speed
    L"m/s\u00B2",  // 16 acceleration
    L"km/h",       // 17 vehicle speed
    L"1/min",      // 18 rotational speed
    L"Nm",         // 19 torque
    L"%",          // 20 ratio
    L"\u00B0",     // 21 angle
    L"rad/s",      // 22 angular speed
    L"l",          // 23 volume
    L"l/h",        // 24 flow
    L"J",          // 25 energy
    L"Wh",         // 26 energy
    L"dB",         // 27 level
    L"g/s",        // 28 mass flow
    L"bit/s",      // 29 data rate
    L"\u00B0/s",   // 30 yaw rate
};
static_assert(kSymbols.size() == CMeasuringUnit::kLastBuiltIn + 1);

// SI prefixes by decimal exponent.
const wchar_t* Prefix(int exponent) noexcept {
  switch (exponent) {
    case -12:
      return L"p";
    case -9:
      return L"n";
    case -6:
      return L"\u00B5";
    case -3:
      return L"m";
    case -2:
      return L"c";
    case -1:
      return L"d";
    case 0:
      return L"";
    case 1:
      return L"da";
    case 2:
      return L"h";
    case 3:
      return L"k";
    case 6:
      return L"M";
    case 9:
      return L"G";
    case 12:
      return L"T";
    default:
      return nullptr;
  }
}

}  // namespace

const wchar_t* CMeasuringUnit::Symbol(int code) noexcept {
  return code >= 0 && code <= kLastBuiltIn ? kSymbols[static_cast<std::size_t>(code)] : L"";
}

CString CMeasuringUnit::prefixunit(bool inBrackets) const {
  const std::wstring symbol = Symbol(m_code);
  if (symbol.empty() || m_power == 0) return CString();
  std::wstring text;
  if (m_factor != 1.0) {
    CString factor;
    factor.Format(L"%g ", m_factor);
    text += factor.str();
  }
  if (const wchar_t* prefix = Prefix(m_modifier)) {
    text += prefix;
  } else {
    text += L"10^" + std::to_wstring(m_modifier) + L" ";
  }
  text += symbol;
  if (m_power == 2)
    text += L"\u00B2";
  else if (m_power == 3)
    text += L"\u00B3";
  else if (m_power != 1)
    text += L"^" + std::to_wstring(m_power);
  return inBrackets ? CString(L"[" + text + L"]") : CString(text);
}
