#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/settings/SeaFile.h"

namespace {

host::SeaContent ParseOk(const std::string& text) {
  host::SeaContent content;
  host::SeaError error;
  EXPECT_TRUE(host::SeaFile::Parse(text, "x.sea", content, error)) << text;
  return content;
}

// The examples of the format's header: each parses to its result and is written back unchanged.
TEST(SeaFileFormat, DocumentedExamplesParseAndWriteBackUnchanged) {
  using Content = host::SeaContent;
  const std::vector<std::pair<std::string, Content>> examples = {
      {R"(entry "CanSource-Params" = "120")", {{{L"CanSource-Params", {L"120"}}}, {}}},
      {R"(entry "Empty")", {{{L"Empty", {}}}, {}}},
      {R"(entry "E" = "")", {{{L"E", {L""}}}, {}}},
      {R"(entry "Grüße" = "  ü  ")", {{{L"Grüße", {L"  ü  "}}}, {}}},
      {"list \"L\"\n"
       R"(line "a,b", "say \"hi\"")",
       {{}, {{L"L", {{L"a,b", L"say \"hi\""}}}}}},
      {"list \"L\"\n"
       R"(line "C:\\dbc\\x.xml")",
       {{}, {{L"L", {{L"C:\\dbc\\x.xml"}}}}}},
      {"list \"L\"\n"
       R"(line "two\nlines\tand\u{1}")",
       {{}, {{L"L", {{L"two\nlines\tand\u0001"}}}}}},
      {R"(list "X-0")", {{}, {{L"X-0", {}}}}},
  };
  for (const auto& [text, expected] : examples) {
    EXPECT_TRUE(ParseOk(text + "\n") == expected) << text;
    EXPECT_TRUE(
        host::SeaFile::Write(expected, L"T").ends_with("\n" + text + "\n# end of sea \"T\"\n"))
        << text;
  }
}

// A file the writer made and that was cut short anywhere (a copy that broke off, a full disk) is
// refused where it ends; whole, and by hand without the header, it reads.
TEST(SeaFileFormat, AWrittenFileCutShortAnywhereIsRefusedWhereItEnds) {
  const host::SeaContent content = {{{L"CanSource-Params", {L"120"}}, {L"CAN 0", {L"10", L"1"}}},
                                    {{L"CAN-Sources", {{L"CAN 0", L"1", L"0"}, {L"CAN 1"}}}}};
  const std::string text = host::SeaFile::Write(content, L"Application");
  ParseOk(text);
  for (std::size_t cut = std::string_view("# Sea \"").size(); cut < text.size(); ++cut) {
    host::SeaContent parsed;
    host::SeaError error;
    ASSERT_FALSE(host::SeaFile::Parse(text.substr(0, cut), "x.sea", parsed, error)) << cut;
    const std::string head = text.substr(0, cut);
    EXPECT_EQ(error.line, static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n')) +
                              (head.ends_with('\n') ? 0 : 1))
        << cut;
    EXPECT_NE(error.what.find(L"cut short"), std::wstring::npos) << cut;
  }
  // A header of an earlier writer asks only for the last line feed.
  const std::string earlier =
      "# Sea \"Application\" of the host settings: UTF-8, one record per line; comments are not "
      "kept.\nentry \"A\" = \"1\"\n";
  ParseOk(earlier);
  host::SeaContent parsed;
  host::SeaError error;
  EXPECT_FALSE(host::SeaFile::Parse(earlier.substr(0, earlier.size() - 1), "x.sea", parsed, error));
  EXPECT_EQ(error.ToString(),
            L"x.sea:2:16: the file ends inside this line, which has no line "
            L"feed: it was cut short");
  // Written by hand: no header, no end line, no last line feed needed.
  ParseOk("entry \"A\" = \"1\"");
}

TEST(SeaFileFormat, ErrorsNameFileLineAndColumn) {
  struct Bad {
    std::string text;
    std::size_t line, column;
    std::wstring what;
  };
  const std::vector<Bad> cases = {
      {"entry \"A\" = \"open\n", 1, 13, L"text not closed by '\"'"},
      {"line \"x\"\n", 1, 1, L"line outside a list"},
      {"# ok\n\nentry \"A\" = \"1\" \"2\"\n", 3, 17, L"expected ',' or the end of the line"},
      {"list \"L\"\nline \"\\q\"\n", 2, 7, L"unknown escape '\\q'"},
      {"entry \"A\" = \"\xC3(\"\n", 1, 14, L"invalid UTF-8"},
      {"entry \"A\"\nentry \"A\"\n", 2, 1, L"entry \"A\" given twice (first at line 1)"},
      {"entry \"A\" =\n", 1, 12, L"expected '\"'"},
      {"setting \"A\"\n", 1, 1, L"expected entry, list, line or a # comment"},
  };
  for (const auto& bad : cases) {
    host::SeaContent content;
    host::SeaError error;
    ASSERT_FALSE(host::SeaFile::Parse(bad.text, "/s/Application.sea", content, error)) << bad.text;
    EXPECT_EQ(error.line, bad.line) << bad.text;
    EXPECT_EQ(error.column, bad.column) << bad.text;
    EXPECT_EQ(error.what, bad.what) << bad.text;
    EXPECT_EQ(error.ToString(), L"/s/Application.sea:" + std::to_wstring(bad.line) + L":" +
                                    std::to_wstring(bad.column) + L": " + bad.what);
  }
}

}  // namespace
