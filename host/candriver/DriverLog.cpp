#include "host/candriver/DriverLog.h"

#include <cstdio>
#include <mutex>

#include "host/mfc/CString.h"

namespace XeCanDriverKvaser {
namespace {
std::mutex g_mutex;
LoggingFunction g_function;
}  // namespace

void SetLoggingFunction(LoggingFunction function) {
  std::lock_guard lock(g_mutex);
  g_function = std::move(function);
}

namespace detail {
void Log(const std::wstring& line) {
  LoggingFunction function;
  {
    std::lock_guard lock(g_mutex);
    function = g_function;
  }
  if (function) {
    function(line.c_str());
  } else {
    std::fprintf(stderr, "%s\n", mfc::NarrowUtf8(line).c_str());
  }
}
}  // namespace detail
}  // namespace XeCanDriverKvaser
