#include <gtest/gtest.h>

#include "frame/ConstantTables.h"
#include "host/module/ExtensionModule.h"
#include "host/module/ModuleRegistry.h"
#include "sink/CCanSink.h"
#include "source/CCanSourceModule.h"

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

}  // namespace
