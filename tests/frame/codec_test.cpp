#include <gtest/gtest.h>

#include <memory>

#include "frame/ParameterCodec.h"
#include "host/settings/CResourceList.h"

namespace {

using can::ReadEntryValue;
using can::ReadOrAppendDefault;

std::unique_ptr<CResourceEntry> Entry(std::initializer_list<std::wstring> parts) {
  auto entry = std::make_unique<CResourceEntry>();
  std::size_t index = 0;
  for (const auto& part : parts)
    entry->SetText(part, index++);
  return entry;
}

TEST(ParameterCodec, ReadsTheNumberAtTheStartOfThePart) {
  const auto e = Entry({L"12abc", L" 7", L"", L"abc", L"-1000"});
  const std::vector<int> ints = {12, 7, 0, 0, -1000, 0};  // the last part is missing
  for (std::size_t i = 0; i < ints.size(); ++i)
    EXPECT_EQ(ReadEntryValue<int>(*e, i), ints[i]) << i;
  EXPECT_EQ(ReadEntryValue<unsigned>(*Entry({L"10"}), 0), 10u);

  const auto b = Entry({L"1", L"0", L" 1", L"2", L"true"});
  const std::vector<bool> bools = {true, false, true, true, false, false};  // no word form
  for (std::size_t i = 0; i < bools.size(); ++i)
    EXPECT_EQ(ReadEntryValue<bool>(*b, i), bools[i]) << i;
}

TEST(ParameterCodec, WritesDecimalTextAndNamedEntries) {
  CResourceEntry e;
  can::WriteEntryValue(e, -1000, 0);
  can::WriteEntryValue(e, 10u, 1);
  can::WriteEntryValue(e, true, 2);
  can::WriteEntryValue(e, false, 3);
  can::WriteEntryValue(e, std::int64_t{-5'000'000'000}, 4);
  EXPECT_EQ(e.GetParts(), (std::vector<std::wstring>{L"-1000", L"10", L"1", L"0", L"-5000000000"}));

  CResourceSea sea(L"T", "unused.sea");  // never loaded or saved
  EXPECT_EQ(can::WriteNamedValue(sea, L"CanSource-Params", std::int64_t{-40}, 0), lookup::created);
  EXPECT_EQ(can::WriteNamedValue(sea, L"CanSource-Params", std::int64_t{16}, 0), lookup::found);
  EXPECT_EQ(sea.LookupGetInt(L"CanSource-Params", 0, 99), 16);
  can::WriteNamedValue(sea, L"Seq", 10u, 0);
  can::WriteNamedValue(sea, L"Seq", false, 1);
  EXPECT_EQ(sea.FindEntry(L"Seq")->GetParts(), (std::vector<std::wstring>{L"10", L"0"}));
}

// One reading pass over parts 4..7 of "CAN-Sources" lines, as the source module does it.
TEST(ParameterCodec, ReadingCompletesLinesThatEndJustBeforeTheMissingParts) {
  CResourceSea sea(L"T", "unused.sea");
  CResourceList list(sea, L"CAN-Sources");
  CResourceEntry* four = list.AddLineTail();
  for (const wchar_t* part : {L"bus", L"1", L"0", L"0"})
    four->SetText(part, four->GetValueCount());
  CResourceEntry* three = list.AddLineTail();
  for (const wchar_t* part : {L"old", L"1", L"0"})
    three->SetText(part, three->GetValueCount());

  for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
    CResourceEntry* line = list.GetCurrentLine();
    EXPECT_EQ(ReadOrAppendDefault(line, 4, -2), -2);
    EXPECT_EQ(ReadOrAppendDefault(line, 5, false), false);
    EXPECT_EQ(ReadOrAppendDefault(line, 6, -1000), -1000);
    EXPECT_EQ(ReadOrAppendDefault(line, 7, -1001), -1001);
  }
  EXPECT_EQ(four->GetParts(),
            (std::vector<std::wstring>{L"bus", L"1", L"0", L"0", L"-2", L"0", L"-1000", L"-1001"}));
  EXPECT_EQ(three->GetValueCount(), 3u);

  // Present parts are read, not replaced; an empty entry gets its part 0; no entry gives the
  // default.
  four->WertNeuSetzen(L"-5", 4);
  EXPECT_EQ(ReadOrAppendDefault(four, 4, -2), -5);
  CResourceEntry empty;
  EXPECT_EQ(ReadOrAppendDefault(&empty, 0, 10u), 10u);
  EXPECT_EQ(empty.GetParts(), std::vector<std::wstring>{L"10"});
  EXPECT_EQ(ReadOrAppendDefault(static_cast<CResourceEntry*>(nullptr), 0, -1), -1);
}

}  // namespace
