// A signal the parser refuses costs exactly its own statement: whatever statement follows it is
// read as if the refused line were not in the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "host/cananalysis/DbcParser.h"

namespace {

using namespace XeCanAnalysis;

// Everything of a database that decoding, the tools or the windows read, one line per item.
std::string Dump(const DbcDatabase& db) {
  std::ostringstream out;
  const auto attributes = [&](const std::vector<DbcAttribute>& list) {
    for (const auto& a : list)
      out << "  attr " << a.name << "=" << a.value.number << "/" << a.value.text << "\n";
  };
  out << "version " << db.version << "\ncomment " << db.comment << "\n";
  for (const auto& n : db.nodes) {
    out << "node " << n.name << " '" << n.comment << "'\n";
    attributes(n.attributes);
  }
  for (const auto& m : db.messages) {
    out << "message " << m.CanId() << " " << m.name << " " << m.length << " '" << m.comment
        << "' tx";
    for (const auto& t : m.transmitters)
      out << " " << t;
    out << "\n";
    attributes(m.attributes);
    for (const auto& s : m.signals) {
      out << " signal " << s.name << " " << s.startBit << "|" << s.length << " order "
          << static_cast<int>(s.byteOrder) << " type " << static_cast<int>(s.valueType) << " ("
          << s.factor << "," << s.offset << ") [" << s.minimum << "|" << s.maximum << "] '"
          << s.unit << "' switch " << s.isSwitch << " parent " << s.muxParent << " mux "
          << s.muxValue << " '" << s.comment << "'";
      for (const auto& r : s.muxRanges)
        out << " " << r.low << "-" << r.high;
      for (const auto& v : s.values)
        out << " " << v.value << "=" << v.text;
      out << "\n";
      attributes(s.attributes);
    }
  }
  for (const auto& t : db.valueTables) {
    out << "table " << t.name;
    for (const auto& v : t.values)
      out << " " << v.value << "=" << v.text;
    out << "\n";
  }
  for (const auto& d : db.attributeDefs)
    out << "def " << d.name << " " << static_cast<int>(d.kind) << " " << d.hasDefault << " "
        << d.defaultValue.number << "\n";
  attributes(db.networkAttributes);
  for (const auto& r : db.relationAttributes)
    out << "rel " << r.node << " " << r.messageId << " " << r.target << " " << r.attribute.name
        << "\n";
  return out.str();
}

// The diagnostics as "LINE:COLUMN: TEXT", sorted; those at or after `from` moved by `shift` lines.
std::vector<std::string> Findings(const DbcDatabase& db, int from = 0, int shift = 0) {
  std::vector<std::string> out;
  for (const auto& d : db.diagnostics)
    out.push_back(std::to_string(d.line >= from ? d.line + shift : d.line) + ":" +
                  std::to_string(d.column) + ": " +
                  (d.severity == DbcSeverity::Error ? "error: " : "warning: ") + d.text);
  std::sort(out.begin(), out.end());
  return out;
}

struct Refusal {
  const char* line;     // the refused SG_ statement, without its line end
  const char* finding;  // its diagnostic; "LINE" stands for the line after it (line 7)
};

// Every way a signal is refused: its numbers, and a statement that breaks off.
constexpr Refusal kRefusals[] = {
    {" SG_ Bad : 8|0@1+ (1,0) [0|0] \"\" B",
     "6:14: error: signal Bad: length 0 outside 1..64, signal dropped"},
    {" SG_ Bad : 0|65@1+ (1,0) [0|0] \"\" B",
     "6:14: error: signal Bad: length 65 outside 1..64, signal dropped"},
    {" SG_ Bad : 512|8@1+ (1,0) [0|0] \"\" B",
     "6:12: error: signal Bad: start bit 512 outside 0..511, signal dropped"},
    {" SG_ Bad : 511|8@1+ (1,0) [0|0] \"\" B",
     "6:12: error: signal Bad reaches past byte 64, signal dropped"},
    {" SG_ Bad : 504|16@0+ (1,0) [0|0] \"\" B",
     "6:12: error: signal Bad reaches past byte 64, signal dropped"},
    {" SG_ Bad : 8|8@2+ (1,0) [0|0] \"\" B", "6:16: error: byte order must be 0 or 1"},
    {" SG_ Bad : 8|8@1+ (1,0) [0|0]", "LINE:2: error: unit string expected, found '"},
};

// Every kind of statement that may follow it (the first word is the keyword).
constexpr const char* kFollowers[] = {
    "BO_ 200 N: 8 A\n SG_ S : 0|16@1- (0.5,1) [0|0] \"v\" B",
    " SG_ Extra : 40|8@1+ (2,0) [0|0] \"\" B",
    "CM_ SG_ 100 Val \"about Val\";",
    "CM_ BO_ 100 \"about M\";",
    "BA_DEF_ SG_ \"Attr\" INT 0 10;",
    "BA_DEF_DEF_ \"Level\" 5;",
    "BA_ \"Level\" SG_ 100 Val 3;",
    "BA_DEF_REL_ BU_SG_REL_ \"Rel\" INT 0 9;",
    "BA_REL_ \"Rel\" BU_SG_REL_ B SG_ 100 Val 2;",
    "VAL_ 100 Sw 1 \"one\" 0 \"zero\";",
    "VAL_TABLE_ Tab 1 \"on\" 0 \"off\";",
    "SIG_VALTYPE_ 100 Val : 1;",
    "SG_MUL_VAL_ 100 Val Sw 1-1, 3-4;",
    "BO_TX_BU_ 100 : B;",
    "BU_: C",
    "EV_ Env: 0 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;",
    "VERSION \"2\"",
};

// A file whose message M has the switch Sw and the multiplexed Val; `beforeVal` goes in at line 6
// (before Val), `beforeFollower` right before the follower, which is followed by another message.
std::string File(const std::string& beforeVal, const std::string& beforeFollower,
                 const std::string& follower) {
  return "VERSION \"1\"\n"
         "BU_: A B\n"
         "BA_DEF_ SG_ \"Level\" INT 0 9;\n"
         "BO_ 100 M: 8 A\n"
         " SG_ Sw M : 0|8@1+ (1,0) [0|0] \"\" B\n" +
         beforeVal + " SG_ Val m1 : 8|32@1+ (1,0) [0|0] \"\" B\n" + beforeFollower + follower +
         "\n"
         "BO_ 300 Tail: 8 A\n"
         " SG_ T : 0|8@1+ (1,0) [0|0] \"\" B\n";
}

// The refused line goes in before the signal Val, and right before the follower: in both places
// the rest of the file reads as without it, and it adds exactly its own finding.
TEST(DbcRecovery, ARefusedSignalCostsOnlyItsOwnStatement) {
  for (const Refusal& refusal : kRefusals) {
    for (const char* follower : kFollowers) {
      const std::string keyword = std::string(follower).substr(0, std::string(follower).find(' '));
      SCOPED_TRACE(std::string(refusal.line) + " then " + keyword);
      const std::string refused = std::string(refusal.line) + "\n";
      const DbcDatabase clean = DbcParser::Parse(File("", "", follower));
      const DbcDatabase beforeVal = DbcParser::Parse(File(refused, "", follower));
      EXPECT_EQ(Dump(beforeVal), Dump(clean));
      std::vector<std::string> expected = Findings(clean, 6, 1);
      std::string finding = refusal.finding;
      // A statement that breaks off at its line end is reported at the next line's keyword.
      if (finding.rfind("LINE", 0) == 0) finding.replace(0, 4, "7").append("SG_'");
      expected.push_back(finding);
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(Findings(beforeVal), expected);

      const DbcDatabase beforeFollower = DbcParser::Parse(File("", refused, follower));
      EXPECT_EQ(Dump(beforeFollower), Dump(clean));
      EXPECT_EQ(beforeFollower.ErrorCount(), clean.ErrorCount() + 1);
    }
  }
}

// A statement that breaks off at the end of its line, where it still expects an object keyword,
// a name or a list of them, leaves the statement of the next line whole: a keyword that begins a
// line is never taken as the words of the statement before.
TEST(DbcRecovery, AStatementBrokenOffAtItsLineEndLeavesTheNextWhole) {
  constexpr const char* kBrokenOff[] = {
      "CM_",       "CM_ SG_ 100", "BA_DEF_",         "BA_ \"Level\"",
      "BO_TX_BU_", "VAL_ 100",    "SIG_VALTYPE_ 100"};
  for (const char* broken : kBrokenOff) {
    for (const char* follower : kFollowers) {
      // A signal below any statement but BO_ and SG_ belongs to no message: not this case.
      if (std::string(follower).rfind(" SG_", 0) == 0) continue;
      SCOPED_TRACE(std::string(broken) + " then " + follower);
      const DbcDatabase clean = DbcParser::Parse(File("", "", follower));
      const DbcDatabase after = DbcParser::Parse(File("", std::string(broken) + "\n", follower));
      EXPECT_EQ(Dump(after), Dump(clean));
      EXPECT_EQ(after.ErrorCount(), clean.ErrorCount() + 1) << Findings(after).front();
    }
  }
}

// What the refusal used to cost: the BO_ behind it lost its header, so its signals went to the
// message before and were decoded from the wrong frames; the SIG_VALTYPE_ behind it was skipped,
// so a double was decoded as an integer.
TEST(DbcRecovery, TheMessageAndValueTypeBehindARefusedSignalStay) {
  const DbcDatabase db = DbcParser::Parse(
      "BO_ 1 A: 8 X\n"
      " SG_ Wide : 0|65@1+ (1,0) [0|0] \"\" X\n"
      "BO_ 2 B: 8 X\n"
      " SG_ Pi : 0|64@1+ (1,0) [0|0] \"\" X\n"
      " SG_ Far : 511|8@1+ (1,0) [0|0] \"\" X\n"
      "SIG_VALTYPE_ 2 Pi : 2;\n");
  ASSERT_EQ(db.messages.size(), 2u);
  EXPECT_TRUE(db.messages[0].signals.empty());
  ASSERT_EQ(db.messages[1].signals.size(), 1u);
  EXPECT_EQ(db.messages[1].signals[0].name, "Pi");
  EXPECT_EQ(db.messages[1].signals[0].valueType, DbcValueType::Float64);
  EXPECT_EQ(db.ErrorCount(), 2u);
}

// The offsets the parser reports are the keywords that begin lines, and nothing else.
TEST(DbcRecovery, StatementStartsAreTheKeywordsThatBeginLines) {
  const std::string text =
      "VERSION \"\"\nBO_ 1 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\nCM_ \"x\nstill\"; BA_ "
      "\"a\" 1;\n";
  std::vector<std::size_t> starts;
  DbcParser::Parse(text, &starts);
  std::vector<std::string> words;
  words.reserve(starts.size());
  for (const std::size_t at : starts)
    words.push_back(text.substr(at, text.find(' ', at) - at));
  // Not "still" inside the comment's string, nor BA_ behind the comment on its line.
  EXPECT_EQ(words, (std::vector<std::string>{"VERSION", "BO_", "SG_", "CM_"}));
}

}  // namespace
