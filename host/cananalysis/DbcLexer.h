#pragma once
// Splits the text of a DBC file into tokens with their line and column. Tolerates what real files
// contain: a UTF-8 byte order mark, CRLF or CR line ends, tabs, "//" comments, strings over several
// lines with \" and \\ escapes, names that start with a digit, bytes above 0x7F in names.
// Examples (text -> tokens):
//   BO_ 2364540158 EEC1: 8 Vector__XXX -> BO_, 2364540158, EEC1, ':', 8, Vector__XXX
//   SG_ S m0M : 4|4@1- (1,0)  -> SG_, S, m0M, ':', 4, '|', 4, '@', 1, '-', '(', 1, ',', 0, ')'
//   [-3.4E+038|1E-005]        -> '[', -3.4E+038, '|', 1E-005, ']'
//   SG_MUL_VAL_ 100 A S 0-0, 2-5; -> SG_MUL_VAL_, 100, A, S, 0, -0, ',', 2, -5, ';'
//   "say \"hi\""              -> string: say "hi"
//   BO_ 12 4WD_State: 1 X     -> BO_, 12, 4WD_State, ':', 1, X
//   CM_ "x"; // note          -> CM_, string x, ';'
//   "open<end of file>        -> string open, plus "unterminated string" error
//   "open<line end>BO_ 1      -> the same, then BO_, 1: a statement keyword at the start of a
//                                line ends an open string
#include <string>
#include <string_view>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"

namespace XeCanAnalysis {

enum class DbcTokenKind : std::uint8_t { End, Identifier, Number, String, Punct };

struct DbcToken {
  DbcTokenKind kind = DbcTokenKind::End;
  std::string_view text;  // source bytes (strings: between the quotes, escapes kept)
  std::string value;      // strings only: unescaped, UTF-8
  int line = 0;           // 1-based
  int column = 0;         // 1-based byte column
  bool firstOnLine = false;

  bool IsIdent(std::string_view word) const noexcept {
    return kind == DbcTokenKind::Identifier && text == word;
  }
  bool IsPunct(char c) const noexcept {
    return kind == DbcTokenKind::Punct && text.size() == 1 && text[0] == c;
  }
};

// [any] True for the keywords that start a statement (BO_, SG_, CM_ ...).
bool IsDbcKeyword(std::string_view word) noexcept;

// Text of a DBC file as UTF-8: valid UTF-8 is kept, anything else is read as Latin-1.
std::string DbcText(std::string_view raw);

class DbcLexer {
 public:
  // The text must outlive the lexer and the tokens' text views.
  explicit DbcLexer(std::string_view text);

  // [any] The next token without consuming it.
  const DbcToken& Peek() const noexcept { return m_next; }
  // [any] Consumes and returns the next token.
  DbcToken Take();
  // Errors the lexer found (unterminated strings), appended to by Take.
  std::vector<DbcDiagnostic>& Diagnostics() noexcept { return m_diagnostics; }
  // Errors found beyond the DbcDatabase::kKeptWhileReading in Diagnostics(), counted only.
  std::size_t UnlistedErrors() const noexcept { return m_unlisted; }

 private:
  void Scan();
  void SkipSpaceAndComments();
  void ScanString(DbcToken& token);
  // Records an unterminated string (kept up to DbcDatabase::kKeptWhileReading, then counted).
  void Unterminated(int line, int column);
  void ScanNumberOrName(DbcToken& token);
  bool StartsStatement(std::size_t pos) const noexcept;
  char At(std::size_t pos) const noexcept { return pos < m_text.size() ? m_text[pos] : '\0'; }

  std::string_view m_text;
  std::size_t m_pos = 0;
  int m_line = 1;
  std::size_t m_lineStart = 0;
  int m_lastTokenLine = 0;
  // The first quote whose string was found to run to the end of the text, npos before. Every
  // quote after it was read inside that string as an escaped one, and a string opened there
  // reads on exactly as that one did: it runs to the end too, without a scan.
  std::size_t m_openToEnd = std::string_view::npos;
  DbcToken m_next;
  std::vector<DbcDiagnostic> m_diagnostics;
  std::size_t m_unlisted = 0;
};

}  // namespace XeCanAnalysis
