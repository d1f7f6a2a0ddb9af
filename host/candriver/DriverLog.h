#pragma once
// The CAN driver library's log. The driver writes every line (a wide string without "\n") to the
// function installed with SetLoggingFunction; with none installed, lines go to stderr.
#include <functional>
#include <string>

namespace XeCanDriverKvaser {

using LoggingFunction = std::function<void(const wchar_t*)>;

// [any] Installs the process-wide log function (replaces any earlier one; empty: stderr).
void SetLoggingFunction(LoggingFunction function);

namespace detail {
// [any] Writes one line to the installed log function.
void Log(const std::wstring& line);
}  // namespace detail

}  // namespace XeCanDriverKvaser
