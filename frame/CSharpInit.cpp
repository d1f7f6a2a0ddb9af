#include "frame/CSharpInit.h"

#include <atomic>

#include "host/csharp/XeCSharpRuntime.h"
#include "host/services/Host.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
// Set by the first construction in a host and never cleared. Modules are created and configured
// on one thread at a time, so no lock is taken; the atomic only keeps readers on other threads
// defined.
struct Started {
  std::atomic<bool> once{false};
};
}  // namespace

CSharpInit::CSharpInit() {
  std::atomic<bool>& started = host::CurrentHost().Get<Started>().once;
  if (started.load()) return;
  XeCSharpRuntime::RegisterOnUiMessageCb(&CSharpInit::OnUiMessage);
  if (!XeCSharpRuntime::InitApplication(CSeaBase::DefaultPath(), L"QX_CAN", L"Pellam"))
    PrWin::Output(L"CSharpInit: Init(): Error initializing C# application base",
                  PrWin::kCategoryError, PrWin::kStyleError);
  started.store(true);
}

void CSharpInit::StoreSettings() {
  XeCSharpRuntime::StoreSettingsToMedium();
}

void CSharpInit::OnUiMessage(const std::wstring& text, int style) {
  PrWin::Output((text + L"\n").c_str(), PrWin::kCategoryTrace, style);
}
