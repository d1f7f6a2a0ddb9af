// Identifiers as the standard source's window reads and shows them: the examples of IdText.h.
#include <gtest/gtest.h>

#include "dialogs/IdText.h"
#include "sources/IdRange.h"

namespace {

using can::IdError;

IdError ErrorOf(const wchar_t* text) {
  return can::ParseId(text).error;
}

TEST(IdText, ReadsHexInBothSpellingsAndDecimal) {
  for (const wchar_t* text : {L"0x7FF", L"0X7ff", L"7FFh", L" 7ffH ", L"2047", L" +2047 "}) {
    const can::IdValue id = can::ParseId(text);
    EXPECT_EQ(id.error, IdError::None) << CString(text).ToUtf8();
    EXPECT_EQ(id.value, 2047) << CString(text).ToUtf8();
  }
  EXPECT_EQ(can::ParseId(L"18FEF100h").value, 0x18FEF100);
  EXPECT_EQ(can::ParseId(L"0x3FFFFFFF").value, kMaxCanId);
  EXPECT_EQ(can::ParseId(L"-0").value, 0);
}

TEST(IdText, RefusesWhatIsNeitherInsteadOfReadingItsStart) {
  // "7FF" was read as 7 and "12abc" as 12: a filter on the wrong identifiers without a word.
  for (const wchar_t* text : {L"7FF", L"12abc", L"", L"  ", L"0x", L"h", L"0xg1", L"-0x10", L"0x-1",
                              L"1 2", L"+", L"7FF h", L"0x7FFh"})
    EXPECT_EQ(ErrorOf(text), IdError::NotAnId) << CString(text).ToUtf8();
  for (const wchar_t* text : {L"0x40000000", L"40000000h", L"1073741824", L"-5",
                              L"0xFFFFFFFFFFFFFFFFFFFF", L"99999999999999999999999"})
    EXPECT_EQ(ErrorOf(text), IdError::OutOfRange) << CString(text).ToUtf8();
  EXPECT_NE(can::IdErrorText(L"7FF", IdError::NotAnId).Find(L"0x7FF or 7FFh"), -1);
  EXPECT_NE(can::IdErrorText(L"0x40000000", IdError::OutOfRange).Find(L"out of range"), -1);
}

TEST(IdText, ShowsHexOrDecimalAndReadsBackWhatItShows) {
  EXPECT_EQ(can::FormatId(0x7FF, can::IdBase::Hex), L"0x7FF");
  EXPECT_EQ(can::FormatId(0x18FEF100, can::IdBase::Hex), L"0x18FEF100");
  EXPECT_EQ(can::FormatId(0, can::IdBase::Hex), L"0x0");
  EXPECT_EQ(can::FormatId(2047, can::IdBase::Decimal), L"2047");
  EXPECT_EQ(can::FormatId(-5, can::IdBase::Hex), L"-5");
  for (const int id : {0, 1, 0x7FF, 0x800, 0x18FEF100, kMaxCanId})
    for (const auto base : {can::IdBase::Hex, can::IdBase::Decimal})
      EXPECT_EQ(can::ParseId(can::FormatId(id, base)).value, id);
}

}  // namespace
