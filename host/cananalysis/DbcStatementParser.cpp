// The statements of DbcParser that refer to messages, signals and nodes by name or identifier:
// they are collected here and applied by DbcLinker once the whole file is read.
#include "host/cananalysis/DbcNumber.h"
#include "host/cananalysis/DbcParser.h"

namespace XeCanAnalysis {
namespace {

// The object kind named by a keyword of BA_DEF_ / BA_ / CM_, or Network for none.
// A keyword that begins a line begins a statement: never the object kind of the one before.
bool ObjectKeyword(const DbcToken& t, DbcObjectKind& kind) noexcept {
  if (t.kind != DbcTokenKind::Identifier || t.firstOnLine) return false;
  if (t.text == "BU_")
    kind = DbcObjectKind::Node;
  else if (t.text == "BO_")
    kind = DbcObjectKind::Message;
  else if (t.text == "SG_")
    kind = DbcObjectKind::Signal;
  else if (t.text == "EV_")
    kind = DbcObjectKind::EnvVar;
  else if (t.text == "BU_SG_REL_")
    kind = DbcObjectKind::NodeSignal;
  else if (t.text == "BU_BO_REL_")
    kind = DbcObjectKind::NodeMessage;
  else if (t.text == "BU_EV_REL_")
    kind = DbcObjectKind::NodeEnvVar;
  else
    return false;
  return true;
}

DbcObjectRef RefAt(const DbcToken& t, DbcObjectKind kind) {
  DbcObjectRef ref;
  ref.kind = kind;
  ref.line = t.line;
  ref.column = t.column;
  return ref;
}

}  // namespace

bool DbcParser::Comment() {
  DbcObjectKind kind = DbcObjectKind::Network;
  DbcObjectRef ref = RefAt(m_lex.Peek(), kind);
  if (ObjectKeyword(m_lex.Peek(), kind)) {
    ref.kind = kind;
    m_lex.Take();
  }
  bool ok = true;
  switch (ref.kind) {
    case DbcObjectKind::Node:
    case DbcObjectKind::EnvVar:
      ok = TakeIdent(ref.name, "name");
      break;
    case DbcObjectKind::Message:
      ok = TakeUInt(ref.rawId, "message identifier");
      break;
    case DbcObjectKind::Signal:
      ok = TakeUInt(ref.rawId, "message identifier") && TakeIdent(ref.name, "signal name");
      break;
    case DbcObjectKind::Network:
      break;
    default:
      return Fail(m_lex.Peek(), "comment on a relation is not possible");
  }
  std::string text;
  if (!ok || !TakeString(text, "comment string") || !ExpectSemicolon()) return false;
  if (ref.kind != DbcObjectKind::EnvVar) m_st.comments.push_back({std::move(ref), std::move(text)});
  return true;
}

bool DbcParser::AttributeDefinition(bool relation) {
  DbcAttributeDef def;
  const DbcToken& kindToken = m_lex.Peek();
  DbcObjectKind kind = DbcObjectKind::Network;
  if (ObjectKeyword(kindToken, kind)) {
    const bool isRelation = kind == DbcObjectKind::NodeSignal ||
                            kind == DbcObjectKind::NodeMessage || kind == DbcObjectKind::NodeEnvVar;
    if (isRelation != relation) return Fail(kindToken, "object kind does not fit the statement");
    m_lex.Take();
  } else if (relation) {
    return Fail(kindToken, "BU_SG_REL_, BU_BO_REL_ or BU_EV_REL_ expected");
  }
  def.kind = kind;
  std::string type;
  if (!TakeString(def.name, "attribute name")) return false;
  const DbcToken typeToken = m_lex.Peek();
  if (!TakeIdent(type, "attribute type")) return false;
  if (type == "INT" || type == "HEX" || type == "FLOAT") {
    def.type = type == "INT"   ? DbcAttrType::Int
               : type == "HEX" ? DbcAttrType::Hex
                               : DbcAttrType::Float;
    if (m_lex.Peek().kind == DbcTokenKind::Number &&
        (!TakeDouble(def.minimum, "minimum") || !TakeDouble(def.maximum, "maximum")))
      return false;
  } else if (type == "STRING") {
    def.type = DbcAttrType::String;
  } else if (type == "ENUM") {
    def.type = DbcAttrType::Enum;
    while (m_lex.Peek().kind == DbcTokenKind::String) {
      def.enumValues.push_back(m_lex.Take().value);
      if (m_lex.Peek().IsPunct(',')) m_lex.Take();
    }
  } else {
    return Fail(typeToken, "attribute type INT, HEX, FLOAT, STRING or ENUM expected");
  }
  if (!ExpectSemicolon()) return false;
  m_db.attributeDefs.push_back(std::move(def));
  return true;
}

bool DbcParser::AttributeDefault(bool relation) {
  DbcStatements::Default d;
  d.relation = relation;
  d.line = m_lex.Peek().line;
  d.column = m_lex.Peek().column;
  if (!TakeString(d.name, "attribute name") || !AttrValueToken(d.value) || !ExpectSemicolon())
    return false;
  m_st.defaults.push_back(std::move(d));
  return true;
}

bool DbcParser::AttrValueToken(DbcAttrValue& value) {
  const DbcToken& t = m_lex.Peek();
  if (t.kind == DbcTokenKind::String) {
    value.isText = true;
    value.text = m_lex.Take().value;
    return true;
  }
  value.isText = false;
  return TakeDouble(value.number, "attribute value");
}

bool DbcParser::AttributeValue() {
  DbcStatements::Attribute a;
  a.ref = RefAt(m_lex.Peek(), DbcObjectKind::Network);
  if (!TakeString(a.attribute.name, "attribute name")) return false;
  DbcObjectKind kind = DbcObjectKind::Network;
  const DbcToken& kindToken = m_lex.Peek();
  if (ObjectKeyword(kindToken, kind)) {
    if (kind != DbcObjectKind::Node && kind != DbcObjectKind::Message &&
        kind != DbcObjectKind::Signal && kind != DbcObjectKind::EnvVar)
      return Fail(kindToken, "relation attributes belong in BA_REL_");
    m_lex.Take();
  }
  a.ref.kind = kind;
  bool ok = true;
  if (kind == DbcObjectKind::Node || kind == DbcObjectKind::EnvVar)
    ok = TakeIdent(a.ref.name, "name");
  else if (kind == DbcObjectKind::Message)
    ok = TakeUInt(a.ref.rawId, "message identifier");
  else if (kind == DbcObjectKind::Signal)
    ok = TakeUInt(a.ref.rawId, "message identifier") && TakeIdent(a.ref.name, "signal name");
  if (!ok || !AttrValueToken(a.attribute.value) || !ExpectSemicolon()) return false;
  if (kind != DbcObjectKind::EnvVar) m_st.attributes.push_back(std::move(a));
  return true;
}

bool DbcParser::RelationAttributeValue() {
  DbcStatements::Relation r{};
  r.line = m_lex.Peek().line;
  r.column = m_lex.Peek().column;
  if (!TakeString(r.value.attribute.name, "attribute name")) return false;
  const DbcToken& kindToken = m_lex.Peek();
  DbcObjectKind kind = DbcObjectKind::Network;
  if (!ObjectKeyword(kindToken, kind) ||
      (kind != DbcObjectKind::NodeSignal && kind != DbcObjectKind::NodeMessage &&
       kind != DbcObjectKind::NodeEnvVar))
    return Fail(kindToken, "BU_SG_REL_, BU_BO_REL_ or BU_EV_REL_ expected");
  m_lex.Take();
  r.value.kind = kind;
  if (!TakeIdent(r.value.node, "node name")) return false;
  bool ok = true;
  if (kind == DbcObjectKind::NodeSignal) {
    if (m_lex.Peek().IsIdent("SG_")) m_lex.Take();
    ok = TakeUInt(r.rawId, "message identifier") && TakeIdent(r.value.target, "signal name");
  } else if (kind == DbcObjectKind::NodeMessage) {
    ok = TakeUInt(r.rawId, "message identifier");
  } else {
    ok = TakeIdent(r.value.target, "environment variable name");
  }
  if (!ok || !AttrValueToken(r.value.attribute.value) || !ExpectSemicolon()) return false;
  m_st.relations.push_back(std::move(r));
  return true;
}

bool DbcParser::ValuePairs(std::vector<DbcValueDescription>& values) {
  while (m_lex.Peek().kind == DbcTokenKind::Number) {
    double raw = 0.0;
    DbcValueDescription v{};
    if (!TakeDouble(raw, "value") || !TakeString(v.text, "value description")) return false;
    // Descriptions of values beyond 64 bits cannot match a raw value; they are kept at the limit.
    v.value = raw >= 9.2e18    ? INT64_MAX
              : raw <= -9.2e18 ? INT64_MIN
                               : static_cast<std::int64_t>(raw);
    values.push_back(std::move(v));
  }
  return ExpectSemicolon();
}

bool DbcParser::ValueDescriptions() {
  DbcStatements::Values v;
  v.ref = RefAt(m_lex.Peek(), DbcObjectKind::Signal);
  if (m_lex.Peek().kind == DbcTokenKind::Identifier) {  // VAL_ of an environment variable
    v.ref.kind = DbcObjectKind::EnvVar;
    return TakeIdent(v.ref.name, "name") && ValuePairs(v.values);
  }
  if (!TakeUInt(v.ref.rawId, "message identifier") || !TakeIdent(v.ref.name, "signal name") ||
      !ValuePairs(v.values))
    return false;
  m_st.values.push_back(std::move(v));
  return true;
}

bool DbcParser::ValueTable() {
  DbcValueTable table;
  if (!TakeIdent(table.name, "value table name") || !ValuePairs(table.values)) return false;
  m_db.valueTables.push_back(std::move(table));
  return true;
}

bool DbcParser::SignalValueType() {
  DbcStatements::ValueType v;
  v.ref = RefAt(m_lex.Peek(), DbcObjectKind::Signal);
  if (!TakeUInt(v.ref.rawId, "message identifier") || !TakeIdent(v.ref.name, "signal name"))
    return false;
  if (m_lex.Peek().IsPunct(':')) m_lex.Take();
  const DbcToken typeToken = m_lex.Peek();
  if (!TakeInt(v.type, "value type (0, 1 or 2)")) return false;
  if (v.type < 0 || v.type > 2) return Fail(typeToken, "value type must be 0, 1 or 2");
  if (!ExpectSemicolon()) return false;
  m_st.valueTypes.push_back(std::move(v));
  return true;
}

bool DbcParser::MuxValues() {
  DbcStatements::Mux m;
  m.ref = RefAt(m_lex.Peek(), DbcObjectKind::Signal);
  if (!TakeUInt(m.ref.rawId, "message identifier") || !TakeIdent(m.ref.name, "signal name") ||
      !TakeIdent(m.switchName, "multiplexer switch name"))
    return false;
  // Ranges "low-high", comma separated. The lexer reads "0-5" as 0 and -5.
  while (m_lex.Peek().kind == DbcTokenKind::Number) {
    const DbcToken lowToken = m_lex.Peek();
    DbcMuxRange r{};
    if (!TakeInt(r.low, "range start")) return false;
    const DbcToken& next = m_lex.Peek();
    if (next.IsPunct('-')) {
      m_lex.Take();
      if (!TakeInt(r.high, "range end")) return false;
    } else if (next.kind == DbcTokenKind::Number && !next.text.empty() && next.text[0] == '-') {
      if (!ParseDbcInt(next.text.substr(1), r.high)) return Fail(next, "range end expected");
      m_lex.Take();
    } else {
      r.high = r.low;
    }
    if (r.low < 0 || r.high < r.low)
      return Fail(lowToken, "multiplexer range " + std::to_string(r.low) + "-" +
                                std::to_string(r.high) + " is empty or negative");
    m.ranges.push_back(r);
    if (m_lex.Peek().IsPunct(',')) m_lex.Take();
  }
  if (m.ranges.empty()) return Fail(m_lex.Peek(), "multiplexer value range expected");
  if (!ExpectSemicolon()) return false;
  m_st.mux.push_back(std::move(m));
  return true;
}

bool DbcParser::Transmitters() {
  DbcStatements::Transmitters t;
  t.ref = RefAt(m_lex.Peek(), DbcObjectKind::Message);
  if (!TakeUInt(t.ref.rawId, "message identifier")) return false;
  if (m_lex.Peek().IsPunct(':')) m_lex.Take();
  while ((m_lex.Peek().kind == DbcTokenKind::Identifier && !StartsStatement(m_lex.Peek())) ||
         m_lex.Peek().IsPunct(',')) {
    const DbcToken tok = m_lex.Take();
    if (tok.kind == DbcTokenKind::Identifier) t.nodes.push_back(DbcText(tok.text));
  }
  if (!ExpectSemicolon()) return false;
  m_st.transmitters.push_back(std::move(t));
  return true;
}

}  // namespace XeCanAnalysis
