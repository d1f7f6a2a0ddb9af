#pragma once
// CAN identifiers as the standard source's window shows and reads them. Shown in hex, as a CAN
// engineer reads them off a trace, or in decimal when the view says so; read in either form:
//   "0x7FF", "0X7ff"   -> 2047            hex with the C prefix
//   "7FFh", "18FEF100H" -> 2047, 419360000 hex with the assembler suffix
//   "2047", " +12 "    -> 2047, 12        decimal, blanks around and a plus sign accepted
//   "7FF", "12abc", "" -> NotAnId         neither form: refused rather than read as 7 or 12
//   "0x", "h", "0xg1"  -> NotAnId
//   "-5", "0x40000000" -> OutOfRange      outside the identifier space 0..0x3FFFFFFF
#include <cstdint>

#include "host/mfc/CString.h"

namespace can {

enum class IdBase : std::uint8_t {
  Hex,      // "0x7FF", the window's default
  Decimal,  // "2047", the view setting "Decimal IDs"
};

enum class IdError : std::uint8_t {
  None,
  NotAnId,     // neither hex (0x7FF, 7FFh) nor decimal
  OutOfRange,  // outside 0..kMaxCanId (0x3FFFFFFF)
};

struct IdValue {
  int value = 0;
  IdError error = IdError::None;
};

// `text` read as described above.
IdValue ParseId(const CString& text);

// `id` in `base`: hex as "0x" and upper-case digits ("0x18FEF100"); negative values, which a
// filter table never holds, in decimal.
CString FormatId(int id, IdBase base);

// One line for a person: why `text` is refused ("'7FF' is neither hex (0x7FF or 7FFh) nor ...").
CString IdErrorText(const CString& text, IdError error);

}  // namespace can
