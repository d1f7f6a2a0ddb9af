#pragma once
// A measuring unit of the parameter database: a unit code, a decimal prefix, a power and a factor.
// prefixunit() writes it as text (code 1 and codes from 31 on have no symbol: the property's own
// unit text stands for them):
//   (18, 0, 1, 1.0) -> "1/min"      (11, 3, 1, 1.0) -> "kPa"
//   (8, -3, 1, 1.0) -> "mm"         (8, 0, 2, 1.0)  -> "m²"
//   (2, 4, 1, 1.0)  -> "10^4 V"     (11, 0, 1, 2.5) -> "2.5 Pa"
//   (0, 3, 1, 1.0)  -> ""           (1, 0, 1, 1.0)  -> ""
//   prefixunit(true) of (11, 3, 1, 1.0) -> "[kPa]"
#include "host/mfc/CString.h"

class CMeasuringUnit {
 public:
  // Unit codes with a symbol of their own: 0 (none) and 2..30.
  static constexpr int kFirstBuiltIn = 2;
  static constexpr int kLastBuiltIn = 30;

  // code: unit code; modifier: decimal exponent of the prefix (3 = k, -6 = µ); power: exponent of
  // the unit (1 plain, 2 square); factor: multiplier written before the unit when not 1; flags:
  // reserved, no flag is defined yet.
  CMeasuringUnit(int code, int modifier, int power, double factor, unsigned flags) noexcept
      : m_code(code), m_modifier(modifier), m_power(power), m_factor(factor), m_flags(flags) {}

  // [any] The unit as text (see the examples above); in square brackets when asked and not empty.
  CString prefixunit(bool inBrackets) const;
  // [any] The symbol of a unit code without prefix ("" for none, own-text and unknown codes).
  static const wchar_t* Symbol(int code) noexcept;

  // [any] The values given at construction.
  int code() const noexcept { return m_code; }
  int modifier() const noexcept { return m_modifier; }
  unsigned flags() const noexcept { return m_flags; }

 private:
  int m_code;
  int m_modifier;
  int m_power;
  double m_factor;
  unsigned m_flags;
};
