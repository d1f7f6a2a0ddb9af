#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/mfc/CList.h"
#include "host/mfc/CObject.h"
#include "host/mfc/CString.h"
#include "host/mfc/Text.h"

namespace {

TEST(CStringFormat, WideStringConventionsOfTheHost) {
  CString s;
  s.Format(L"'%s' at %u, bus %d", L"Engine speed", 7u, -3);
  EXPECT_EQ(s, L"'Engine speed' at 7, bus -3");
  s.Format(L"%S_%u", "CCanDbcDecoder", 1u);
  EXPECT_EQ(s, L"CCanDbcDecoder_1");
  s.Format(L"%5.2f|%%|%c|%-4d|", 3.14159, L'x', 12);
  EXPECT_EQ(s, L" 3.14|%|x|12  |");
  std::wstring longText(5000, L'a');
  s.Format(L"%s!", longText.c_str());
  EXPECT_EQ(s.GetLength(), 5001);
}

TEST(CStringUtf8, RoundTripsAndReplacesInvalidBytes) {
  const std::string text = "Drehzahl \xC3\xBC\xE2\x82\xAC\xF0\x9F\x9A\x97";  // ü € 🚗
  const CString wide = CString::FromUtf8(text);
  EXPECT_EQ(wide.GetLength(), 12);
  EXPECT_EQ(wide.ToUtf8(), text);
  EXPECT_EQ(CString::FromUtf8("a\xFF"
                              "b")
                .str(),
            L"a\uFFFDb");
  EXPECT_EQ(CString::FromUtf8("\xE2\x82").str(), L"\uFFFD\uFFFD");  // truncated sequence
  EXPECT_EQ(CString::FromUtf8("\xC0\x80").str(), L"\uFFFD\uFFFD");  // overlong NUL
}

TEST(CStringOps, ComparisonAndSlicing) {
  CString s(L"  CAN-Sources ");
  s.Trim();
  EXPECT_EQ(s, L"CAN-Sources");
  EXPECT_EQ(s.Left(3), L"CAN");
  EXPECT_EQ(s.Mid(4), L"Sources");
  EXPECT_EQ(s.Right(7), L"Sources");
  EXPECT_EQ(s.Find(L'-'), 3);
  EXPECT_EQ(s.CompareNoCase(L"can-sources"), 0);
  EXPECT_LT(CString(L"A"), CString(L"B"));
  EXPECT_EQ(CString(static_cast<const wchar_t*>(nullptr)), L"");
}

TEST(CListPositions, WalkAndRemoveKeepOtherPositionsValid) {
  CList<int> list;
  list.AddTail(2);
  POSITION three = list.AddTail(3);
  list.AddHead(1);
  list.AddTail(4);
  list.RemoveAt(three);
  std::vector<int> seen;
  for (POSITION pos = list.GetHeadPosition(); pos;)
    seen.push_back(list.GetNext(pos));
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(list.GetCount(), 3u);
}

class CBase : public CObject {
  DECLARE_DYNAMIC(CBase)
};
class CDerived : public CBase {
  DECLARE_DYNCREATE(CDerived)
};
IMPLEMENT_DYNAMIC(CBase, CObject)
IMPLEMENT_DYNCREATE(CDerived, CBase)

TEST(RuntimeClass, NameLookupCreationAndKinds) {
  CRuntimeClass* cls = CRuntimeClass::FromName(L"CDerived");
  ASSERT_EQ(cls, RUNTIME_CLASS(CDerived));
  EXPECT_EQ(cls->m_wSchema, 0xFFFFu);
  std::unique_ptr<CObject> object(cls->CreateObject());
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CBase)));
  EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_EQ(RUNTIME_CLASS(CBase)->CreateObject(), nullptr);  // not dynamically creatable
  EXPECT_EQ(CRuntimeClass::FromName("NoSuchClass"), nullptr);
}

// A log line's words are found eight bytes at a time: a word ends at its first blank or tab
// wherever that falls in a word of memory, next to bytes that a wrong borrow could mistake for
// one (0x01, 0x21, 0x0A), among non-ASCII bytes, and at the end of the line.
TEST(SplitBlanks, WordsEndAtTheirFirstBlankAtEveryOffset) {
  const auto reference = [](std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t')
        ++i;
      if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
  };
  const std::string alphabet = std::string("ab \t\x01\x21\x0A\xC3\xA9\xFF", 10);
  std::vector<std::string_view> words;
  std::uint32_t seed = 7;
  for (int n = 0; n < 20000; ++n) {
    std::string line(static_cast<std::size_t>(n % 41), 'x');
    for (char& c : line) {
      seed = seed * 1103515245U + 12345U;
      c = alphabet[(seed >> 16) % alphabet.size()];
    }
    mfc::SplitBlanks(line, words);
    ASSERT_EQ(words, reference(line)) << n;
  }
  mfc::SplitBlanks("(1700000000.123456) can0 123#DEADBEEF\t", words);
  EXPECT_EQ(words, (std::vector<std::string_view>{"(1700000000.123456)", "can0", "123#DEADBEEF"}));
}

}  // namespace
