#include "host/cananalysis/DbcParser.h"

#include <gtest/gtest.h>

#include "host/cananalysis/DbcNumber.h"

namespace {

using namespace XeCanAnalysis;

std::vector<std::string> Tokens(std::string_view text) {
  DbcLexer lex(text);
  std::vector<std::string> out;
  while (lex.Peek().kind != DbcTokenKind::End) {
    const DbcToken t = lex.Take();
    out.push_back(t.kind == DbcTokenKind::String ? "\"" + t.value + "\"" : std::string(t.text));
  }
  for (const auto& d : lex.Diagnostics())
    out.push_back("!" + d.text);
  return out;
}

using V = std::vector<std::string>;

TEST(DbcLexer, HeaderExamples) {
  EXPECT_EQ(Tokens("BO_ 2364540158 EEC1: 8 Vector__XXX"),
            (V{"BO_", "2364540158", "EEC1", ":", "8", "Vector__XXX"}));
  EXPECT_EQ(Tokens("SG_ S m0M : 4|4@1- (1,0)"),
            (V{"SG_", "S", "m0M", ":", "4", "|", "4", "@", "1", "-", "(", "1", ",", "0", ")"}));
  EXPECT_EQ(Tokens("[-3.4E+038|1E-005]"), (V{"[", "-3.4E+038", "|", "1E-005", "]"}));
  EXPECT_EQ(Tokens("SG_MUL_VAL_ 100 A S 0-0, 2-5;"),
            (V{"SG_MUL_VAL_", "100", "A", "S", "0", "-0", ",", "2", "-5", ";"}));
  EXPECT_EQ(Tokens(R"("say \"hi\"")"), (V{"\"say \"hi\"\""}));
  EXPECT_EQ(Tokens("BO_ 12 4WD_State: 1 X"), (V{"BO_", "12", "4WD_State", ":", "1", "X"}));
  EXPECT_EQ(Tokens("CM_ \"x\"; // note"), (V{"CM_", "\"x\"", ";"}));
  EXPECT_EQ(Tokens("\"open"), (V{"\"open\"", "!unterminated string"}));
  EXPECT_EQ(Tokens("\"open\nBO_ 1"), (V{"\"open\"", "BO_", "1", "!unterminated string"}));
  // Each line's quote opens a string whose other quotes are all escaped: each ends at its line.
  EXPECT_EQ(Tokens("\\\"a\n\\\"b\\\"\n\\\"c"),
            (V{"\\", "\"a\"", "\\", "\"b\\\"\"", "\\", "\"c\"", "!unterminated string",
               "!unterminated string", "!unterminated string"}));
}

TEST(DbcLexer, PositionsSurviveBomCrlfTabsAndMultiLineStrings) {
  DbcLexer lex(
      "\xEF\xBB\xBF"
      "A\r\n\tB \"x\r\ny\" C\rD");
  const DbcToken a = lex.Take(), b = lex.Take(), s = lex.Take(), c = lex.Take(), d = lex.Take();
  EXPECT_EQ(
      (std::vector<int>{a.line, a.column, b.line, b.column, s.line, c.line, c.column, d.line}),
      (std::vector<int>{1, 1, 2, 2, 2, 3, 4, 4}));
  EXPECT_EQ(s.value, "x\ny");
  EXPECT_TRUE(b.firstOnLine);
  EXPECT_FALSE(c.firstOnLine);
  EXPECT_EQ(DbcText("Gr\xFC\xDF"), "Gr\xC3\xBC\xC3\x9F");  // Latin-1 read as such
}

TEST(DbcNumber, HeaderExamples) {
  double d = 0;
  std::int64_t i = 0;
  EXPECT_TRUE(ParseDbcInt("42", i) && i == 42);
  EXPECT_TRUE(ParseDbcInt("-7", i) && i == -7);
  EXPECT_TRUE(ParseDbcInt("+3", i) && i == 3);
  EXPECT_TRUE(ParseDbcInt("0x1F", i) && i == 31);
  EXPECT_TRUE(ParseDbcDouble("1E-005", d) && d == 1e-05);
  EXPECT_TRUE(ParseDbcDouble("3.4E+038", d) && d == 3.4e+38);
  EXPECT_TRUE(ParseDbcDouble(".5", d) && d == 0.5);
  EXPECT_TRUE(ParseDbcInt("8.0", i) && i == 8);
  EXPECT_FALSE(ParseDbcInt("8.5", i));
  EXPECT_FALSE(ParseDbcDouble("1E+400", d));
  std::uint64_t u = 0;
  EXPECT_TRUE(ParseDbcUInt("3221225472", u) && u == 3221225472u);
  EXPECT_FALSE(ParseDbcUInt("-1", u));
}

std::vector<std::string> Findings(const DbcDatabase& db) {
  std::vector<std::string> out;
  for (const auto& d : db.diagnostics)
    out.push_back(FormatDbcDiagnostic("f.dbc", d));
  return out;
}

TEST(DbcParser, HeaderExamples) {
  const std::string sg = "SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n";
  auto db = DbcParser::Parse("BO_ 100 A: 8 X\n " + sg);
  ASSERT_EQ(db.messages.size(), 1u);
  EXPECT_EQ(db.messages[0].signals.at(0).name, "S");
  EXPECT_TRUE(db.diagnostics.empty());

  db = DbcParser::Parse("BO_ 100 A: 8 X\n " + sg + "BO_ x B: 8 X\n " + sg);
  EXPECT_EQ(db.messages.size(), 1u);
  EXPECT_EQ(db.messages[0].signals.size(), 1u);  // the second S went nowhere
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:3:5: error: message identifier expected, found 'x'",
               "f.dbc:4:6: error: signal dropped: its message statement (line 3) is invalid"}));

  db = DbcParser::Parse("BO_ 1 A: 8 X\n SG_ S : 0|65@1+ (1,0) [0|0] \"\" X\n");
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:2:12: error: signal S: length 65 outside 1..64, signal dropped"}));

  db = DbcParser::Parse("BO_ 1 A: 8 X\n SG_ Rpm m : 0|2@1+ (1,0) [0|3] \"\" X\n");
  EXPECT_TRUE(db.messages[0].signals[0].isSwitch);
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:2:10: warning: multiplexer indicator 'm' without a value, taken as 'M' "
               "(switch)"}));

  db = DbcParser::Parse("BO_ 4000 B: 8 X\n");
  EXPECT_TRUE(db.messages[0].extended);
  EXPECT_EQ(db.messages[0].id, 0xFA0u);
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:1:5: warning: message B: identifier 4000 is above 0x7FF without the "
               "extended flag (bit 31), taken as 0xFA0 (extended)"}));

  db = DbcParser::Parse("BO_ 100 A: 8 X\n" + sg + "CM_ SG_ 100 Missing \"text\";\n");
  EXPECT_EQ(Findings(db), (V{"f.dbc:3:5: warning: CM_: message A has no signal Missing, ignored"}));

  db = DbcParser::Parse(
      "BO_ 100 A: 8 X\nBA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 100;\n"
      "BA_ \"GenMsgCycleTime\" BO_ 100 10\nCM_ \"net\";");
  EXPECT_EQ(db.messages[0].attributes.at(0).value.number, 10.0);
  EXPECT_EQ(db.comment, "net");
  EXPECT_EQ(Findings(db), (V{"f.dbc:4:1: warning: ';' missing before 'CM_', statement taken"}));
}

// A file that is no DBC (binary, a log in the wrong place) gives an error for nearly every line:
// the first kMaxDiagnostics are kept, the rest counted, so memory does not grow with them.
TEST(DbcParser, DiagnosticsBeyondTheLimitAreCountedNotKept) {
  std::string garbage;
  for (std::size_t i = 0; i < DbcDatabase::kMaxDiagnostics + 500; ++i)
    garbage += "BO_ x B: 8 X\n";  // message identifier expected
  const auto db = DbcParser::Parse("BO_ 4000 B: 8 X\n" + garbage);
  EXPECT_EQ(db.diagnostics.size(), DbcDatabase::kMaxDiagnostics);
  EXPECT_EQ(db.diagnostics.front().line, 1);  // the first ones, in file order
  EXPECT_EQ(db.ErrorCount(), DbcDatabase::kMaxDiagnostics + 500);
  EXPECT_EQ(db.WarningCount(), 1u);
  EXPECT_EQ(db.Unlisted(), 501u);
}

TEST(DbcLinker, IdentifierExamples) {
  std::uint32_t id = 0;
  bool assumed = false;
  EXPECT_TRUE(NormalizeDbcId(2364540158u, id, assumed) && id == (0x0CF004FEu | kCanIdExtended));
  EXPECT_FALSE(assumed);
  EXPECT_TRUE(NormalizeDbcId(316495015u, id, assumed) && id == (0x12DD54A7u | kCanIdExtended));
  EXPECT_TRUE(assumed);
  EXPECT_TRUE(NormalizeDbcId(1394u, id, assumed) && id == 0x572u && !assumed);
  EXPECT_FALSE(NormalizeDbcId(3221225472u, id, assumed));
  EXPECT_FALSE(NormalizeDbcId(0x100000000ull, id, assumed));
  const DbcDatabase db = DbcParser::Parse(
      "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n"
      " SG_ Unplaced : 0|8@1+ (1,0) [0|0] \"\" X\n"
      "BO_ 3221225473 Other: 0 X\n");
  EXPECT_TRUE(db.messages.empty());
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:3:5: error: message Other: identifier 3221225473 fits no CAN frame, message "
               "dropped"}));
}

TEST(DbcParser, ReadsWhatRealFilesContain) {
  // No header, BOM, CRLF, tabs, nodes over several lines, references before their message,
  // a multi-line comment with escaped quotes, locale-independent numbers.
  const std::string text =
      "\xEF\xBB\xBF"
      "CM_ SG_ 2566844926 Temp \"first line\r\nsecond \\\"quoted\\\"\";\r\n"
      "VAL_ 2566844926 Mode 0 \"off\" 1 \"on\" ;\r\n"
      "SIG_VALTYPE_ 2566844926 Temp : 1;\r\n"
      "BU_:\r\n\tECU1\r\n\tECU2\r\n"
      "VAL_TABLE_ Modes 1 \"on\" 0 \"off\";\r\n"
      "BO_ 2566844926 Engine:\t64 ECU1\r\n"
      " SG_ Temp : 0|32@1- (1E-005,-273.15) [-1.5E+002|1E+003] \"degC\"  ECU2,ECU1\r\n"
      " SG_ Mode : 39|2@0+ (1,0) [0|3] \"\" ECU2\r\n"
      "BO_TX_BU_ 2566844926 : ECU2;\r\n";
  const DbcDatabase db = DbcParser::Parse(text);
  EXPECT_TRUE(db.diagnostics.empty()) << Findings(db).front();
  ASSERT_EQ(db.nodes.size(), 2u);
  EXPECT_EQ(db.nodes[1].name, "ECU2");
  const DbcMessage* m = db.FindMessage(0x98FEF1FEu);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->length, 64);
  EXPECT_EQ(m->transmitters, (V{"ECU1", "ECU2"}));
  const DbcSignal& temp = m->signals[0];
  EXPECT_EQ(temp.valueType, DbcValueType::Float32);
  EXPECT_EQ(temp.factor, 1e-5);
  EXPECT_EQ(temp.offset, -273.15);
  EXPECT_EQ(temp.minimum, -150.0);
  EXPECT_EQ(temp.unit, "degC");
  EXPECT_EQ(temp.receivers, (V{"ECU2", "ECU1"}));
  EXPECT_EQ(temp.comment, "first line\nsecond \"quoted\"");
  EXPECT_EQ(m->signals[1].byteOrder, DbcByteOrder::Motorola);
  ASSERT_EQ(m->signals[1].values.size(), 2u);
  EXPECT_EQ(m->signals[1].values[1].text, "on");
  EXPECT_EQ(db.valueTables.at(0).values.at(0).text, "on");
}

TEST(DbcParser, AttributesWithDefaultsAndRelations) {
  const DbcDatabase db = DbcParser::Parse(
      "BU_: N1\n"
      "BO_ 5 M: 8 N1\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" N1\n"
      "BA_DEF_ SG_ \"ApplicationSignal\" INT -1 65535;\n"
      "BA_DEF_ BO_ \"Send\" ENUM \"Cyclic\",\"OnChange\";\n"
      "BA_DEF_ \"DBName\" STRING;\n"
      "BA_DEF_ BU_ \"Addr\" HEX 0 255;\n"
      "BA_DEF_REL_ BU_SG_REL_ \"Timeout\" FLOAT 0 10.5;\n"
      "BA_DEF_DEF_ \"ApplicationSignal\" -1;\n"
      "BA_DEF_DEF_REL_ \"Timeout\" 1.5;\n"
      "BA_ \"DBName\" \"powertrain\";\n"
      "BA_ \"Send\" BO_ 5 1;\n"
      "BA_ \"Addr\" BU_ N1 16;\n"
      "BA_REL_ \"Timeout\" BU_SG_REL_ N1 SG_ 5 S 2.5;\n"
      "BA_ \"Unknown\" SG_ 5 S 3;\n");
  EXPECT_TRUE(db.diagnostics.empty());
  ASSERT_EQ(db.attributeDefs.size(), 5u);
  EXPECT_EQ(db.attributeDefs[1].enumValues, (V{"Cyclic", "OnChange"}));
  EXPECT_EQ(db.attributeDefs[4].kind, DbcObjectKind::NodeSignal);
  EXPECT_EQ(db.attributeDefs[4].defaultValue.number, 1.5);
  EXPECT_EQ(db.networkAttributes.at(0).value.text, "powertrain");
  EXPECT_EQ(db.nodes[0].attributes.at(0).value.number, 16.0);
  EXPECT_EQ(db.messages[0].attributes.at(0).value.number, 1.0);
  ASSERT_EQ(db.relationAttributes.size(), 1u);
  EXPECT_EQ(db.relationAttributes[0].target, "S");
  EXPECT_EQ(db.relationAttributes[0].messageId, 5u);
  const DbcSignal& s = db.messages[0].signals[0];
  EXPECT_EQ(db.SignalAttribute(s, "ApplicationSignal")->number, -1.0);  // the default
  EXPECT_EQ(db.SignalAttribute(s, "Unknown")->number, 3.0);
}

TEST(DbcParser, BrokenStatementsAreReportedAndDroppedWhole) {
  const DbcDatabase db = DbcParser::Parse(
      "VERSION \"1\"\n"
      "BO_ 1 A: 8 X\n"
      " SG_ Good : 0|8@1+ (1,0) [0|0] \"\" X\n"
      " SG_ Bad : 8|8@2+ (1,0) [0|0] \"\" X\n"
      " SG_ AfterBad : 16|8@1+ (1,0) [0|0] \"\" X\n"
      "garbage here\n"
      " SG_ Orphan : 0|8@1+ (1,0) [0|0] \"\" X\n"
      "BO_ 1 Again: 8 X\n"
      "BO_ 2 B: 8 X\n"
      " SG_ Lonely m3 : 0|8@1+ (1,0) [0|0] \"\" X\n"
      "CM_ BO_ 2 \"unterminated;\n"
      "SG_MUL_VAL_ 2 Lonely Nobody 5-1;\n"
      "BA_ \"x\" BO_ 2 \"he said \"hi\"\";\n"
      "BO_ 3 C: 8 X\n");
  EXPECT_EQ(Findings(db),
            (V{"f.dbc:4:16: error: byte order must be 0 or 1",
               "f.dbc:6:1: error: statement keyword expected, found 'garbage'",
               "f.dbc:7:6: error: signal dropped: it follows the unreadable line 6",
               // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): long messages split in two
               "f.dbc:8:5: error: message Again: identifier 0x1 already used by message A "
               "(line 2), message dropped",
               "f.dbc:10:6: error: signal Lonely is multiplexed (m3) but message B has no "
               "multiplexer switch (M), signal dropped",
               "f.dbc:11:11: error: unterminated string",
               "f.dbc:12:1: warning: ';' missing before 'SG_MUL_VAL_', statement taken",
               "f.dbc:12:29: error: multiplexer range 5-1 is empty or negative",
               "f.dbc:13:25: error: ';' expected, found 'hi'"}));
  ASSERT_EQ(db.messages.size(), 3u);
  ASSERT_EQ(db.messages[0].signals.size(), 2u);
  EXPECT_EQ(db.messages[0].signals[1].name, "AfterBad");
  EXPECT_TRUE(db.messages[1].signals.empty());
  EXPECT_EQ(db.messages[2].name, "C");
}

}  // namespace
