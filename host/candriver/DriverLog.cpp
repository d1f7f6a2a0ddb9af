#include "host/candriver/DriverLog.h"

#include <cstdio>
#include <mutex>

#include "host/mfc/CString.h"
#include "host/services/Host.h"

namespace XeCanDriverKvaser {
namespace {
// Installed by whoever forwards the driver's lines into the host (the plug-in's CAN sources).
struct Forwarding {
  std::mutex mutex;
  LoggingFunction function;  // guarded by mutex
};
Forwarding& TheForwarding() {
  return host::CurrentHost().Get<Forwarding>();
}
}  // namespace

void SetLoggingFunction(LoggingFunction function) {
  Forwarding& forwarding = TheForwarding();
  std::lock_guard lock(forwarding.mutex);
  forwarding.function = std::move(function);
}

namespace detail {
void Log(const std::wstring& line) {
  LoggingFunction function;
  {
    Forwarding& forwarding = TheForwarding();
    std::lock_guard lock(forwarding.mutex);
    function = forwarding.function;
  }
  if (function) {
    function(line.c_str());
  } else {
    std::fprintf(stderr, "%s\n", mfc::NarrowUtf8(line).c_str());
  }
}
}  // namespace detail
}  // namespace XeCanDriverKvaser
