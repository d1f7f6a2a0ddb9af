// The plug-in's library entry as the host loader meets it, in a program that does not link the
// plug-in: the load stands or falls with the start of the library's extension module.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "host/module/CModule.h"
#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"
#include "host/module/PluginLoader.h"
#include "host/settings/PrWin.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(PluginLoad, AFailedStartOfTheExtensionModuleRefusesTheLoad) {
  const std::filesystem::path plugin = testing_support::BinDir() / ".." / "lib" / "libcanplugin.so";
  ASSERT_TRUE(std::filesystem::exists(plugin)) << plugin;
  auto& registry = host::ModuleRegistry::Instance();
  host::CaptureLog log;
  {
    // An extension library of the plug-in's name is in the process already (a second copy of the
    // plug-in, say): the plug-in's extension module cannot start.
    AFX_EXTENSION_MODULE other;
    ASSERT_TRUE(AfxInitExtensionModule(other, "libcanplugin.so"));
    std::optional<CDynLinkLibrary> chained(std::in_place, other);

    host::PluginLoader loader;
    EXPECT_FALSE(loader.Load(plugin.string()));
    EXPECT_EQ(loader.error(),
              "plug-in not loaded, its entry failed (the extension module did not start): " +
                  plugin.string());
    EXPECT_EQ(log.count(L"AfxInitExtensionModule(): libcanplugin.so: an extension library of "
                        L"this name is loaded already\n"),
              1u);
    EXPECT_TRUE(loader.modules().empty());
    // The registrations its initialisers made went with the refusal.
    EXPECT_EQ(registry.Find(L"CCanSourceModule"), nullptr);
    EXPECT_EQ(registry.Create(L"CCanSink"), nullptr);
    EXPECT_EQ(host::ExtensionLibraries(), std::vector<std::string>{"libcanplugin.so"});
    // Asked again, the loader refuses the same library: its entry does not run a second time.
    host::PluginLoader again;
    EXPECT_FALSE(again.Load(plugin.string()));
    EXPECT_EQ(registry.Find(L"CCanSink"), nullptr);

    chained.reset();
    AfxTermExtensionModule(other);
  }

  // A copy of the plug-in, loaded into a process without another library of its name, starts its
  // extension module and brings its two modules.
  testing_support::TempDir dir;
  const auto copy = dir / "libcanplugin.so";
  std::filesystem::copy_file(plugin, copy);
  host::PluginLoader loader;
  ASSERT_TRUE(loader.Load(copy.string())) << loader.error();
  EXPECT_EQ(loader.modules(), (std::vector<CString>{L"CCanSink", L"CCanSourceModule"}));
  EXPECT_NE(registry.Create(L"CCanSink"), nullptr);
  EXPECT_EQ(host::ExtensionLibraries(), std::vector<std::string>{"libcanplugin.so"});
}

}  // namespace
