#pragma once
// One signal of a DBC decoder's file, as CDbcDecoder::EnumSignals presents it.
#include <cstdint>

#include "host/mfc/CString.h"

namespace XeCanAnalysis {

class CDbcSignal {
 public:
  CString m_name;                 // signal name in the DBC file
  int m_appSignal = -1;           // application signal it delivers, -1: none
  CString m_messageName;          // its message
  std::uint32_t m_messageId = 0;  // message identifier, bit 31 set for extended
  CString m_unit;                 // unit in the DBC file
  int m_index = 0;  // the decoder's number of the signal: first argument of the value callback
};

}  // namespace XeCanAnalysis
