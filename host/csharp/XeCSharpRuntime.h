#pragma once
// The host's managed application base. On this host it keeps the application's own small settings
// medium, the sea file "ManagedApplication.sea" in the settings folder (format:
// host/settings/SeaFile.h), and reports its UI messages through one registered callback.
#include <filesystem>
#include <functional>
#include <string>

#include "host/mfc/CString.h"

namespace XeCSharpRuntime {

// Receives a UI message (no trailing "\n") and its style (0 plain, 1 note, 3 error).
using UiMessageCallback = std::function<void(const std::wstring& text, int style)>;

// [ui] Installs the UI message callback (replaces an earlier one; empty: messages are dropped).
void RegisterOnUiMessageCb(UiMessageCallback callback);

// [ui] Starts the application base for `appName` and `userName` with its medium in `defaultPath`.
// False when `defaultPath` is not an existing folder or the medium there is refused (its error is
// logged); on success the medium records the two names and a UI message says so.
bool InitApplication(const CString& defaultPath, const CString& appName, const CString& userName);

// [ui] Writes the medium atomically when it changed. False when not started or the write failed.
bool StoreSettingsToMedium();

// [any] The medium of a default path.
std::filesystem::path MediumFile(const CString& defaultPath);

}  // namespace XeCSharpRuntime
