#include <gtest/gtest.h>

#include "host/settings/CResourceList.h"
#include "host/slowsampling/CSourceInfo.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

using Params = ModuleRig;

std::vector<std::vector<std::wstring>> SourceLines() {
  std::vector<std::vector<std::wstring>> lines;
  CResourceList list(*CSeaBase::ApplicationSea(), L"CAN-Sources");
  for (list.GotoHead(); list.IsValid(); list.GotoNext())
    lines.push_back(list.GetCurrentLine()->GetParts());
  return lines;
}

void AddLine(std::initializer_list<const wchar_t*> parts) {
  CResourceList list(*CSeaBase::ApplicationSea(), L"CAN-Sources");
  CResourceEntry* line = list.AddLineTail();
  std::size_t i = 0;
  for (const wchar_t* p : parts)
    line->WertNeuSetzen(p, i++);
}

TEST_F(Params, OldLinesAreCompletedAndCodesClamped) {
  AddLine({L"Engine", L"1", L"0", L"0"});
  AddLine({L"Body", L"0", L"1", L"0", L"7", L"1", L"-1002", L"0"});
  AddLine({L"Short", L"1", L"2"});
  CResourceEntry* params = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(params, 2, L"CanSource-Params", 0);
  params->SetInt(-24, 0);
  Attach();
  m_module.read_params();

  const auto lines = SourceLines();
  EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"Engine", L"1", L"0", L"0", L"-2", L"0", L"-1000",
                                                 L"-1001"}));
  EXPECT_EQ(lines[2].size(), 3u);
  const auto sources = Sources();
  ASSERT_EQ(sources.size(), 3u);
  EXPECT_TRUE(sources[0]->active());
  EXPECT_EQ(sources[0]->bitrate(), BITRATE_500K);
  EXPECT_EQ(sources[1]->bitrate(), BITRATE_500K);                   // 7 is no bit-rate code
  EXPECT_EQ(sources[1]->fd_arbitration(), FD_ARBITRATION_500K);     // -1002 is no arbitration code
  EXPECT_EQ(sources[1]->fd_data(), static_cast<fd_datarate_t>(0));  // taken as read
  EXPECT_TRUE(sources[1]->fd());
  EXPECT_EQ(sources[2]->bus_channel(), 2);
  EXPECT_EQ(m_module.delay(), -24);

  // A second read changes nothing, not even the delay.
  params->SetInt(99, 0);
  m_module.read_params();
  EXPECT_EQ(Sources().size(), 3u);
  EXPECT_EQ(m_module.delay(), -24);
}

TEST_F(Params, WriteStoresSourcesInIdOrderAndTheDelayJustRead) {
  CResourceEntry* params = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(params, 2, L"CanSource-Params", 0);
  params->SetInt(40, 0);
  AddLine({L"later", L"1", L"1", L"0"});
  Attach();
  // An id given before the stored source's: the source signed in under it comes first.
  CCanSource* early = Add(3);
  const int earlyId = early->id();
  m_module.remove_source(early);
  m_module.read_params();
  ReuseIdAtNextSignin(earlyId);
  m_module.create(0, L"earlier", 3, true, BITRATE_1M, FD_ARBITRATION_1M, FD_DATA_8M, false);
  m_module.write_params();
  const auto lines = SourceLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"earlier", L"0", L"3", L"0", L"-1", L"1",
                                                 L"-1001", L"-1004"}));
  EXPECT_EQ(lines[1][0], L"later");
  // The delay read a moment ago is stored, not the older one of the capsules.
  EXPECT_EQ(CSeaBase::ApplicationSea()->LookupGetInt(L"CanSource-Params", 0, 0), 40);

  // Round trip through a new module.
  CCanSourceModule other;
  other.Create(L"CAN2", nullptr);
  for (auto* s : Sources())
    m_module.remove_source(s);
  other.read_params();
  ASSERT_EQ(other.sources().size(), 2u);
  EXPECT_EQ(other.sources().front()->fd_data(), FD_DATA_8M);
}

TEST_F(Params, WithoutSourcesTheListEmptiesAndTheDelayStays) {
  AddLine({L"gone", L"1", L"0", L"0"});
  CResourceEntry* params = nullptr;
  CSeaBase::ApplicationSea()->LookupEntry(params, 2, L"CanSource-Params", 0);
  params->SetInt(7, 0);
  Attach();
  m_module.write_params();
  EXPECT_TRUE(SourceLines().empty());
  EXPECT_EQ(CSeaBase::ApplicationSea()->LookupGetInt(L"CanSource-Params", 0, 0), 7);
}

}  // namespace
}  // namespace plugin_test
