#pragma once
// A signal that a sink offers for one of its sources: the host shows it under its name and feeds
// it from the value list of its application signal.
#include "host/mfc/CString.h"

namespace SlowSampling {

class CSignal {
 public:
  CSignal() = default;
  CSignal(const CString& name, int number) : m_name(name), m_number(number) {}

  CString m_name;     // shown to the user; the sink matches signals by it
  int m_number = -1;  // application signal number, -1: none
};

}  // namespace SlowSampling
