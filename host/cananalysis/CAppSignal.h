#pragma once
// An application signal as a DBC decoder's settings offer it for assignment: a quantity of the
// host's parameter database that DBC signals can deliver.
#include "host/mfc/CString.h"

namespace XeCanAnalysis {

class CAppSignal {
 public:
  CAppSignal() = default;
  CAppSignal(int number, const CString& name, const CString& unit, unsigned flags)
      : m_number(number), m_name(name), m_unit(unit), m_flags(flags) {}

  int m_number = -1;     // application signal number, -1: none
  CString m_name;        // display name
  CString m_unit;        // unit text as shown
  unsigned m_flags = 8;  // property flags of the parameter database (0x02, 0x08: offered)
};

}  // namespace XeCanAnalysis
