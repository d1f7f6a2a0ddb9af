#pragma once
// Reads DBC files as real tools write them. Accepted: messages with standard and 29-bit
// identifiers, CAN FD lengths up to 64, Intel and Motorola signals of 1-64 bits, signed, float and
// double signals (SIG_VALTYPE_), multiplexing ("M", "mN", "mNM" and SG_MUL_VAL_ ranges), value
// tables (VAL_, VAL_TABLE_), comments (CM_), attributes (BA_DEF_, BA_DEF_DEF_, BA_ and the _REL_
// forms), nodes over several lines, statements in any order, a missing header. Statements this
// decoder has no use for (EV_, SIG_GROUP_, CAT_ ...) are skipped.
//
// A bad statement is reported with line and column and dropped whole: signals that follow a
// broken BO_ are reported and dropped too, never attached to the message before it. Examples
// ("/" separates lines):
//   BO_ 100 A: 8 X / SG_ S : 0|8@1+ (1,0) [0|0] "" X -> message 0x64 with signal S
//   BO_ x A: 8 X / SG_ S : 0|8@1+ (1,0) [0|0] "" X   -> 1:5 error (identifier), 2:6 error (S
//                                                       dropped)
//   SG_ S : 0|65@1+ (1,0) [0|0] "" X                 -> error: length 65 outside 1..64
//   SG_ Rpm m : 0|2@1+ (1,0) [0|3] "" X              -> warning: "m" taken as "M"
//   BO_ 4000 B: 8 X                                  -> warning: taken as extended 0xFA0
//   CM_ SG_ 100 Missing "text";                      -> warning: unknown signal, ignored
//   BA_ "GenMsgCycleTime" BO_ 100 10 / CM_ ...       -> warning: ';' missing, taken
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"
#include "host/cananalysis/DbcLexer.h"
#include "host/cananalysis/DbcLinker.h"

namespace XeCanAnalysis {

class DbcParser {
 public:
  // [any] Parses the text of a DBC file. Bad content never throws: it becomes diagnostics.
  // `statementStarts`, when given, receives the byte offset in `text` of every statement keyword
  // that begins a line, in file order: the places where a line may be inserted without changing
  // how the statements around it read.
  static DbcDatabase Parse(std::string_view text,
                           std::vector<std::size_t>* statementStarts = nullptr);
  // [any] Reads and parses a file. False, with `error` = "FILE: reason", when it cannot be read:
  // only a regular file of at most FileIO::kMaxDbcFileBytes is (a FIFO or a device is refused
  // before it is opened for good). `text`, when given, receives the file's bytes.
  static bool ParseFile(const std::filesystem::path& path, DbcDatabase& database,
                        std::string& error, std::string* text = nullptr);

 private:
  explicit DbcParser(std::string_view text) : m_text(text), m_lex(text) {}
  void Run();
  bool Statement(const DbcToken& keyword);
  // A statement keyword at the start of a line begins a statement, whatever the one before
  // still expects: a statement broken off at its line end never takes the next one's words.
  static bool StartsStatement(const DbcToken& token) noexcept;
  void Recover();
  void EndOfLine(const char* statement);
  bool ExpectSemicolon();

  // Statements of the message section (DbcParser.cpp).
  bool Nodes();
  bool Message();
  bool SignalLine();
  // A signal with no message to belong to: refused, saying why the message is missing.
  bool OrphanSignal(const DbcToken& first);
  bool MuxIndicator(DbcSignal& signal);
  // Statements that refer to others (DbcStatementParser.cpp).
  bool Comment();
  bool AttributeDefinition(bool relation);
  bool AttributeDefault(bool relation);
  bool AttributeValue();
  bool RelationAttributeValue();
  bool ValueDescriptions();
  bool ValueTable();
  bool SignalValueType();
  bool MuxValues();
  bool Transmitters();
  bool ValuePairs(std::vector<DbcValueDescription>& values);
  bool AttrValueToken(DbcAttrValue& value);

  // Token helpers: each reports "<what> expected" at the offending token when it fails.
  bool TakeIdent(std::string& out, const char* what);
  bool TakeString(std::string& out, const char* what);
  bool TakeInt(std::int64_t& out, const char* what);
  bool TakeUInt(std::uint64_t& out, const char* what);
  bool TakeDouble(double& out, const char* what);
  bool TakePunct(char c);
  bool Fail(const DbcToken& at, std::string text);
  void Warn(const DbcToken& at, std::string text);

  std::string_view m_text;
  DbcLexer m_lex;
  std::vector<std::size_t>* m_statementStarts = nullptr;
  DbcStatements m_st;
  DbcDatabase m_db;
  int m_message = -1;           // index in m_st.messages that SG_ lines belong to, or -1
  int m_brokenMessageLine = 0;  // line of a BO_ that failed, while its SG_ lines may follow
  int m_garbageLine = 0;        // line that started with no keyword, while SG_ lines may follow
};

}  // namespace XeCanAnalysis
