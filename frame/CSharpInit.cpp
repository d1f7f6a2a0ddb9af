#include "frame/CSharpInit.h"

#include <atomic>

#include "host/csharp/XeCSharpRuntime.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
// Set by the first construction and never cleared. Modules are created and configured on one
// thread at a time, so no lock is taken; the atomic only keeps readers on other threads defined.
std::atomic<bool> g_started{false};
}  // namespace

CSharpInit::CSharpInit() {
  if (g_started.load()) return;
  XeCSharpRuntime::RegisterOnUiMessageCb(&CSharpInit::OnUiMessage);
  if (!XeCSharpRuntime::InitApplication(CSeaBase::DefaultPath(), L"QX_CAN", L"Pellam"))
    PrWin::Output(L"CSharpInit: Init(): Error initializing C# application base",
                  PrWin::kCategoryError, PrWin::kStyleError);
  g_started.store(true);
}

void CSharpInit::StoreSettings() {
  XeCSharpRuntime::StoreSettingsToMedium();
}

void CSharpInit::OnUiMessage(const std::wstring& text, int style) {
  PrWin::Output((text + L"\n").c_str(), PrWin::kCategoryTrace, style);
}
