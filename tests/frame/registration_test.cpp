#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame/ConstantTables.h"
#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"
#include "host/ui/CLibMgr.h"
#include "sink/CCanSink.h"
#include "source/CCanSourceModule.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(PluginRegistration, BothModulesAreCreatableByName) {
  auto& registry = host::ModuleRegistry::Instance();
  auto source = registry.Create(L"CCanSourceModule");
  auto sink = registry.Create(L"CCanSink");
  ASSERT_NE(source, nullptr);
  ASSERT_NE(sink, nullptr);
  EXPECT_TRUE(source->IsKindOf(RUNTIME_CLASS(CCanSourceModule)));
  EXPECT_TRUE(source->IsKindOf(RUNTIME_CLASS(CSlowAsyncSourcePlugin)));
  EXPECT_TRUE(sink->IsKindOf(RUNTIME_CLASS(CSlowSinkPlugin)));
  // The class records carry the registration names and are never serialised.
  EXPECT_STREQ(RUNTIME_CLASS(CCanSourceModule)->m_lpszClassName, "CCanSourceModule");
  EXPECT_EQ(RUNTIME_CLASS(CCanSink)->m_wSchema, 0xFFFFu);
  EXPECT_EQ(RUNTIME_CLASS(CCanSink)->m_pBaseClass, RUNTIME_CLASS(CSlowSinkPlugin));
  // Each registration names the string the host shows for the module.
  EXPECT_EQ(CLibMgr::LoadStringW(registry.DisplayNameId(L"CCanSourceModule")), L"CAN-Sources");
  EXPECT_EQ(CLibMgr::LoadStringW(registry.DisplayNameId(L"CCanSink")), L"CAN Decoding");
  EXPECT_EQ(registry.DisplayNameId(L"NoSuchModule"), 0u);
  // Loading the library chained its extension module into the host's resource libraries.
  const auto libs = host::ExtensionLibraries();
  EXPECT_NE(std::find(libs.begin(), libs.end(), "libcanplugin.so"), libs.end());
}

TEST(ConstantTables, CodeLookupFallsBackToPositionZero) {
  EXPECT_EQ(can::CodePosition(BitrateCodes, -8), 3);
  EXPECT_EQ(can::CodePosition(BitrateCodes, 0), 0);
  EXPECT_EQ(can::CodePosition(FdDataRateCodes, 5000000), 3);
  EXPECT_EQ(can::NominalBitrate(-8), 83333);
  EXPECT_EQ(can::NominalBitrate(7), 0);
  EXPECT_EQ(can::NominalFdDataRate(-1004), 8000000);
  EXPECT_EQ(can::NominalFdDataRate(3000000), 3000000);
}

// The parameter-database keys of the per-channel DBC files have one home, the table: a second
// copy (the sink once kept its own) could drift from it unnoticed.
TEST(ConstantTables, TheDbcFileKeysLiveInTheTableOnly) {
  EXPECT_EQ(DbcFileKeys,
            (std::vector<CString>{L"CAN_Channel_Zero_DBC_File", L"CAN_Channel_One_DBC_File"}));
  std::vector<std::string> holders;
  for (const char* folder : {"frame", "plugin", "source", "sources", "sink", "dialogs"}) {
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(testing_support::SourceDir() / folder)) {
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find("_DBC_File\"") != std::string::npos)
        holders.push_back(entry.path().lexically_relative(testing_support::SourceDir()).string());
    }
  }
  EXPECT_EQ(holders, std::vector<std::string>{"frame/ConstantTables.h"});
}

}  // namespace
