#include "host/cananalysis/DbcParser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "host/cananalysis/DbcNumber.h"
#include "host/mfc/CString.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace XeCanAnalysis {
namespace {

std::string Quote(std::string_view text) {
  return mfc::QuoteToken(text);
}

std::string Describe(const DbcToken& token) {
  switch (token.kind) {
    case DbcTokenKind::End:
      return "end of file";
    case DbcTokenKind::String:
      return "a string";
    default:
      return Quote(token.text);
  }
}

}  // namespace

DbcDatabase DbcParser::Parse(std::string_view text, std::vector<std::size_t>* statementStarts) {
  DbcParser parser(text);
  parser.m_statementStarts = statementStarts;
  parser.Run();
  return std::move(parser.m_db);
}

bool DbcParser::ParseFile(const std::filesystem::path& path, DbcDatabase& database,
                          std::string& error, std::string* text) {
  std::wstring why;
  auto bytes = FileIO::ReadWholeFile(path, why, FileIO::kMaxDbcFileBytes);
  if (!bytes) {
    error = mfc::NarrowUtf8(why);
    return false;
  }
  database = Parse(*bytes);
  if (text) *text = std::move(*bytes);
  return true;
}

void DbcParser::Run() {
  while (m_lex.Peek().kind != DbcTokenKind::End) {
    const DbcToken& peek = m_lex.Peek();
    if (peek.kind != DbcTokenKind::Identifier || !IsDbcKeyword(peek.text)) {
      Fail(peek, "statement keyword expected, found " + Describe(peek));
      // Signals below an unreadable line may belong to a message statement it garbled.
      m_message = -1;
      m_brokenMessageLine = 0;
      m_garbageLine = peek.line;
      Recover();
      continue;
    }
    const DbcToken keyword = m_lex.Take();
    if (m_statementStarts && keyword.firstOnLine)
      m_statementStarts->push_back(static_cast<std::size_t>(keyword.text.data() - m_text.data()));
    if (keyword.text != "SG_") {
      m_message = -1;
      m_brokenMessageLine = 0;
      m_garbageLine = 0;
    }
    if (!Statement(keyword)) Recover();
  }
  for (auto& d : m_lex.Diagnostics())
    m_db.AddDiagnostic(std::move(d));
  m_db.unlistedErrors += m_lex.UnlistedErrors();
  DbcLinker::Link(m_st, m_db);
}

bool DbcParser::Statement(const DbcToken& keyword) {
  const std::string_view k = keyword.text;
  if (k == "BO_") return Message();
  if (k == "SG_") return SignalLine();
  if (k == "CM_") return Comment();
  if (k == "BA_") return AttributeValue();
  if (k == "BA_DEF_") return AttributeDefinition(false);
  if (k == "BA_DEF_REL_") return AttributeDefinition(true);
  if (k == "BA_DEF_DEF_") return AttributeDefault(false);
  if (k == "BA_DEF_DEF_REL_") return AttributeDefault(true);
  if (k == "BA_REL_") return RelationAttributeValue();
  if (k == "VAL_") return ValueDescriptions();
  if (k == "VAL_TABLE_") return ValueTable();
  if (k == "SIG_VALTYPE_") return SignalValueType();
  if (k == "SG_MUL_VAL_") return MuxValues();
  if (k == "BO_TX_BU_") return Transmitters();
  if (k == "BU_") return Nodes();
  if (k == "VERSION") {
    if (!TakeString(m_db.version, "version string")) return false;
    EndOfLine("VERSION");
    return true;
  }
  if (k == "NS_") {
    // The list of keywords the file may use: names on the NS_ line or indented below it.
    if (m_lex.Peek().IsPunct(':')) m_lex.Take();
    while (m_lex.Peek().kind == DbcTokenKind::Identifier &&
           (m_lex.Peek().line == keyword.line || m_lex.Peek().column > 1))
      m_lex.Take();
    return true;
  }
  if (k == "BS_") {
    while (m_lex.Peek().kind != DbcTokenKind::End && m_lex.Peek().line == keyword.line)
      m_lex.Take();
    return true;
  }
  // Statements without meaning for decoding (environment variables, signal groups and types,
  // categories, filters): skipped to their ';'.
  Recover();
  return true;
}

// Skips the rest of a statement that failed: up to its ';' or to the next statement keyword at the
// start of a line. A statement that broke off at the end of its line leaves that keyword as the
// next token, and it is never taken: the statement after a bad one is read as if the bad one
// were not there.
bool DbcParser::StartsStatement(const DbcToken& token) noexcept {
  return token.firstOnLine && token.kind == DbcTokenKind::Identifier && IsDbcKeyword(token.text);
}

void DbcParser::Recover() {
  while (true) {
    const DbcToken& t = m_lex.Peek();
    if (t.kind == DbcTokenKind::End) return;
    if (StartsStatement(t)) return;
    const bool semicolon = t.IsPunct(';');
    m_lex.Take();
    if (semicolon) return;
  }
}

void DbcParser::EndOfLine(const char* statement) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind == DbcTokenKind::End || t.firstOnLine) return;
  Warn(t, std::string("text after the ") + statement + " statement ignored");
  while (m_lex.Peek().kind != DbcTokenKind::End && !m_lex.Peek().firstOnLine)
    m_lex.Take();
}

bool DbcParser::ExpectSemicolon() {
  const DbcToken& t = m_lex.Peek();
  if (t.IsPunct(';')) {
    m_lex.Take();
    return true;
  }
  if (t.kind == DbcTokenKind::End || StartsStatement(t)) {
    Warn(t, "';' missing before " + Describe(t) + ", statement taken");
    return true;
  }
  return Fail(t, "';' expected, found " + Describe(t));
}

bool DbcParser::Nodes() {
  if (m_lex.Peek().IsPunct(':')) m_lex.Take();
  while (true) {
    const DbcToken& t = m_lex.Peek();
    if (t.IsPunct(',')) {
      m_lex.Take();
      continue;
    }
    if (t.kind != DbcTokenKind::Identifier || IsDbcKeyword(t.text)) break;
    DbcNode node;
    node.name = DbcText(m_lex.Take().text);
    m_db.nodes.push_back(std::move(node));
  }
  return true;
}

bool DbcParser::Message() {
  m_brokenMessageLine = m_lex.Peek().line;
  DbcParsedMessage parsed;
  parsed.column = m_lex.Peek().column;
  parsed.message.line = m_lex.Peek().line;
  std::int64_t length = 0;
  if (!TakeUInt(parsed.rawId, "message identifier") ||
      !TakeIdent(parsed.message.name, "message name") || !TakePunct(':'))
    return false;
  const DbcToken lengthToken = m_lex.Peek();
  if (!TakeInt(length, "message length")) return false;
  if (length < 0 || length > 64) {
    Warn(lengthToken, "message length " + std::to_string(length) + " outside 0..64, taken as " +
                          (length < 0 ? "0" : "64"));
    length = std::clamp<std::int64_t>(length, 0, 64);
  }
  parsed.message.length = static_cast<int>(length);
  if (m_lex.Peek().kind == DbcTokenKind::Identifier && !m_lex.Peek().firstOnLine)
    parsed.message.transmitters.push_back(DbcText(m_lex.Take().text));
  EndOfLine("BO_");
  m_st.messages.push_back(std::move(parsed));
  m_message = static_cast<int>(m_st.messages.size()) - 1;
  m_brokenMessageLine = 0;
  return true;
}

bool DbcParser::SignalLine() {
  const DbcToken& first = m_lex.Peek();
  if (m_message < 0) return OrphanSignal(first);
  DbcSignal s;
  s.line = first.line;
  s.column = first.column;
  if (!TakeIdent(s.name, "signal name") || !MuxIndicator(s) || !TakePunct(':')) return false;
  const DbcToken startToken = m_lex.Peek();
  std::int64_t start = 0, length = 0, order = 0;
  if (!TakeInt(start, "start bit") || !TakePunct('|')) return false;
  const DbcToken lengthToken = m_lex.Peek();
  if (!TakeInt(length, "signal length") || !TakePunct('@')) return false;
  const DbcToken orderToken = m_lex.Peek();
  if (!TakeInt(order, "byte order (0 or 1)")) return false;
  if (order != 0 && order != 1) return Fail(orderToken, "byte order must be 0 or 1");
  const DbcToken& sign = m_lex.Peek();
  if (!sign.IsPunct('+') && !sign.IsPunct('-')) return Fail(sign, "'+' or '-' expected");
  s.valueType = sign.IsPunct('-') ? DbcValueType::Signed : DbcValueType::Unsigned;
  m_lex.Take();
  if (!TakePunct('(') || !TakeDouble(s.factor, "factor") || !TakePunct(',') ||
      !TakeDouble(s.offset, "offset") || !TakePunct(')') || !TakePunct('[') ||
      !TakeDouble(s.minimum, "minimum") || !TakePunct('|') || !TakeDouble(s.maximum, "maximum") ||
      !TakePunct(']') || !TakeString(s.unit, "unit string"))
    return false;
  while (!m_lex.Peek().firstOnLine &&
         (m_lex.Peek().kind == DbcTokenKind::Identifier || m_lex.Peek().IsPunct(','))) {
    const DbcToken t = m_lex.Take();
    if (t.kind == DbcTokenKind::Identifier) s.receivers.push_back(DbcText(t.text));
  }
  EndOfLine("SG_");
  // The statement has been read to its end: a signal refused from here on is dropped alone, and
  // the parse goes on with the next statement as if the line were not there.
  if (length < 1 || length > 64) {
    Fail(lengthToken, "signal " + s.name + ": length " + std::to_string(length) +
                          " outside 1..64, signal dropped");
    return true;
  }
  if (start < 0 || start > 511) {
    Fail(startToken, "signal " + s.name + ": start bit " + std::to_string(start) +
                         " outside 0..511, signal dropped");
    return true;
  }
  s.startBit = static_cast<int>(start);
  s.length = static_cast<int>(length);
  s.byteOrder = order == 1 ? DbcByteOrder::Intel : DbcByteOrder::Motorola;
  if (s.BytesNeeded() > 64) {
    Fail(startToken, "signal " + s.name + " reaches past byte 64, signal dropped");
    return true;
  }
  if (!std::isfinite(s.factor) || !std::isfinite(s.offset))
    Warn(startToken, "signal " + s.name + ": factor or offset is not finite");
  m_st.messages[static_cast<std::size_t>(m_message)].message.signals.push_back(std::move(s));
  return true;
}

bool DbcParser::OrphanSignal(const DbcToken& first) {
  if (m_brokenMessageLine > 0)
    return Fail(first, "signal dropped: its message statement (line " +
                           std::to_string(m_brokenMessageLine) + ") is invalid");
  if (m_garbageLine > 0)
    return Fail(first,
                "signal dropped: it follows the unreadable line " + std::to_string(m_garbageLine));
  return Fail(first, "signal outside a message (SG_ must follow BO_)");
}

bool DbcParser::MuxIndicator(DbcSignal& signal) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::Identifier) return true;
  const std::string_view w = t.text;
  if (w == "M") {
    signal.isSwitch = true;
  } else if (w == "m") {
    Warn(t, "multiplexer indicator 'm' without a value, taken as 'M' (switch)");
    signal.isSwitch = true;
  } else if (w.size() >= 2 && w[0] == 'm' && w[1] >= '0' && w[1] <= '9') {
    std::string_view digits = w.substr(1);
    if (digits.back() == 'M') {
      signal.isSwitch = true;
      digits.remove_suffix(1);
    }
    std::uint64_t value = 0;
    if (!ParseDbcUInt(digits, value) || value > static_cast<std::uint64_t>(INT64_MAX))
      return Fail(t, "invalid multiplexer indicator " + Quote(w));
    signal.muxValue = static_cast<std::int64_t>(value);
  } else {
    return true;  // not an indicator: the ':' check reports it
  }
  m_lex.Take();
  return true;
}

bool DbcParser::TakeIdent(std::string& out, const char* what) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::Identifier || StartsStatement(t))
    return Fail(t, std::string(what) + " expected, found " + Describe(t));
  out = DbcText(m_lex.Take().text);
  return true;
}

bool DbcParser::TakeString(std::string& out, const char* what) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::String)
    return Fail(t, std::string(what) + " expected, found " + Describe(t));
  out = m_lex.Take().value;
  return true;
}

bool DbcParser::TakeInt(std::int64_t& out, const char* what) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::Number || !ParseDbcInt(t.text, out))
    return Fail(t, std::string(what) + " expected, found " + Describe(t));
  m_lex.Take();
  return true;
}

bool DbcParser::TakeUInt(std::uint64_t& out, const char* what) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::Number || !ParseDbcUInt(t.text, out))
    return Fail(t, std::string(what) + " expected, found " + Describe(t));
  m_lex.Take();
  return true;
}

bool DbcParser::TakeDouble(double& out, const char* what) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind != DbcTokenKind::Number || !ParseDbcDouble(t.text, out))
    return Fail(t, std::string(what) + " expected, found " + Describe(t));
  m_lex.Take();
  return true;
}

bool DbcParser::TakePunct(char c) {
  const DbcToken& t = m_lex.Peek();
  if (!t.IsPunct(c)) return Fail(t, std::string("'") + c + "' expected, found " + Describe(t));
  m_lex.Take();
  return true;
}

bool DbcParser::Fail(const DbcToken& at, std::string text) {
  m_db.AddDiagnostic({DbcSeverity::Error, at.line, at.column, std::move(text)});
  return false;
}

void DbcParser::Warn(const DbcToken& at, std::string text) {
  m_db.AddDiagnostic({DbcSeverity::Warning, at.line, at.column, std::move(text)});
}

}  // namespace XeCanAnalysis
