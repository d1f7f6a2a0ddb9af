#include <gtest/gtest.h>

#include "host/module/CModule.h"
#include "host/module/HostConstants.h"
#include "host/module/ModuleRegistry.h"
#include "host/module/PluginLoader.h"

namespace {

class CTestModule : public CModule {
  DECLARE_DYNCREATE(CTestModule)
};
IMPLEMENT_DYNCREATE(CTestModule, CModule)

TEST(ModuleRegistry, CreatesRegisteredModulesByNameUntilUnregistered) {
  auto& registry = host::ModuleRegistry::Instance();
  {
    CModuleRegister reg(RUNTIME_CLASS(CTestModule), L"Test module");
    auto module = registry.Create(L"Test module");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(module->IsKindOf(RUNTIME_CLASS(CTestModule)));
    const auto names = registry.Names();
    EXPECT_NE(std::find(names.begin(), names.end(), CString(L"Test module")), names.end());
  }
  EXPECT_EQ(registry.Create(L"Test module"), nullptr);
  // A registered class that is not a module is refused.
  CModuleRegister notModule(RUNTIME_CLASS(CObject), L"Not a module");
  EXPECT_EQ(registry.Create(L"Not a module"), nullptr);
}

struct Client : CCommandDispatcherClient {
  int calls = 0;
};

TEST(CommandDispatcher, BroadcastsToSubscribersAndForgetsDestroyedClients) {
  auto& dispatcher = CCommandDispatcher::Host();
  Client a;
  {
    Client b;
    dispatcher.AddClient(
        mcStartAudioSources, &a, [&](const CString&, void*) { return ++a.calls; }, L"a", nullptr);
    dispatcher.AddClient(
        mcStartAudioSources, &b, [&](const CString&, void*) { return ++b.calls; }, L"b", nullptr);
    EXPECT_EQ(dispatcher.Dispatch(mcStartAudioSources), 2);
    EXPECT_EQ(dispatcher.Dispatch(mcStopAudioSources), 0);
    EXPECT_EQ(b.calls, 1);
  }
  EXPECT_EQ(dispatcher.Dispatch(mcStartAudioSources), 1);
  EXPECT_EQ(a.calls, 2);
}

TEST(PluginLoader, ReportsMissingAndNonPluginLibraries) {
  host::PluginLoader loader;
  EXPECT_FALSE(loader.Load("/nonexistent/libcanplugin.so"));
  EXPECT_NE(loader.error().find("not found"), std::string::npos);
  host::PluginLoader other;
  EXPECT_FALSE(other.Load("libm.so.6"));  // found by the dynamic loader, not a plug-in
}

}  // namespace
