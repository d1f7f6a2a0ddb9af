#include "frame/DriverLogForwarding.h"

#include <string>

#include "host/candriver/DriverLog.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace can {

void ForwardDriverLogLine(const wchar_t* line) {
  std::wstring text = line ? line : L"";
  if (text.empty() || text.back() != L'\n') text += L'\n';
  PrWin::Output(text.c_str(), PrWin::kCategoryError, PrWin::kStyleError);
}

void InstallDriverLogForwarding() {
  XeCanDriverKvaser::SetLoggingFunction(&ForwardDriverLogLine);
}

}  // namespace can
