#include "host/csharp/XeCSharpRuntime.h"

#include <memory>
#include <mutex>

#include "host/services/Host.h"
#include "host/settings/CResourceSea.h"

namespace XeCSharpRuntime {
namespace {

struct Runtime {
  std::mutex mutex;
  UiMessageCallback callback;
  std::unique_ptr<CResourceSea> medium;  // null until a successful InitApplication
};

Runtime& TheRuntime() {
  return host::CurrentHost().Get<Runtime>();
}

void Report(const std::wstring& text, int style) {
  UiMessageCallback callback;
  {
    auto& runtime = TheRuntime();
    std::lock_guard lock(runtime.mutex);
    callback = runtime.callback;
  }
  if (callback) callback(text, style);
}

}  // namespace

void RegisterOnUiMessageCb(UiMessageCallback callback) {
  auto& runtime = TheRuntime();
  std::lock_guard lock(runtime.mutex);
  runtime.callback = std::move(callback);
}

std::filesystem::path MediumFile(const CString& defaultPath) {
  return std::filesystem::path(defaultPath.str()) / "ManagedApplication.sea";
}

bool InitApplication(const CString& defaultPath, const CString& appName, const CString& userName) {
  auto& runtime = TheRuntime();
  const auto fail = [&](const std::wstring& message) {
    {
      std::lock_guard lock(runtime.mutex);
      runtime.medium.reset();  // a failed start leaves the base stopped
    }
    Report(message, 3);
    return false;
  };
  std::error_code ec;
  if (defaultPath.IsEmpty() || !std::filesystem::is_directory(defaultPath.str(), ec))
    return fail(L"XeCSharpRuntime: settings folder " + defaultPath.str() + L" does not exist");
  auto medium = std::make_unique<CResourceSea>(L"ManagedApplication", MediumFile(defaultPath));
  if (!medium->Load())
    return fail(L"XeCSharpRuntime: settings medium " + medium->File().wstring() + L" refused");
  CResourceEntry* entry = nullptr;
  medium->LookupEntry(entry, CResourceSea::kLookupFindOrCreate, L"Application", 0);
  if (entry->GetStringFb(0, L"") != appName) entry->SetText(appName, 0);
  medium->LookupEntry(entry, CResourceSea::kLookupFindOrCreate, L"User", 0);
  if (entry->GetStringFb(0, L"") != userName) entry->SetText(userName, 0);
  {
    std::lock_guard lock(runtime.mutex);
    runtime.medium = std::move(medium);
  }
  Report(L"XeCSharpRuntime: application " + appName.str() + L" started for user " + userName.str(),
         1);
  return true;
}

bool StoreSettingsToMedium() {
  auto& runtime = TheRuntime();
  std::lock_guard lock(runtime.mutex);
  return runtime.medium && runtime.medium->Save();
}

}  // namespace XeCSharpRuntime
