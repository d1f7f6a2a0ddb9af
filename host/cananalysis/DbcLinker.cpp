#include "host/cananalysis/DbcLinker.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace XeCanAnalysis {

bool NormalizeDbcId(std::uint64_t raw, std::uint32_t& canId, bool& assumedExtended) noexcept {
  assumedExtended = false;
  if (raw > 0xFFFFFFFFu) return false;
  if (raw & kCanIdExtended) {
    if (raw & 0x60000000u) return false;  // bits 29 and 30 belong to no identifier
    canId = static_cast<std::uint32_t>(raw);
    return true;
  }
  if (raw > kMaxExtendedId) return false;
  if (raw > kMaxStandardId) {
    assumedExtended = true;
    canId = static_cast<std::uint32_t>(raw) | kCanIdExtended;
    return true;
  }
  canId = static_cast<std::uint32_t>(raw);
  return true;
}

std::string DescribeCanId(std::uint32_t canId) {
  char text[32];
  if (canId & kCanIdExtended)
    std::snprintf(text, sizeof text, "0x%X (extended)", canId & kMaxExtendedId);
  else
    std::snprintf(text, sizeof text, "0x%X", canId);
  return text;
}

void DbcLinker::Link(DbcStatements& statements, DbcDatabase& database) {
  DbcLinker linker(statements, database);
  linker.AddMessages();
  linker.ApplyStatements();
  linker.ApplyAttributes();
  std::map<DbcMessage*, std::vector<const DbcStatements::Mux*>> muxByMessage;
  for (const auto& m : statements.mux)
    if (DbcMessage* message = linker.Message(m.ref, "SG_MUL_VAL_"))
      muxByMessage[message].push_back(&m);
  std::uint32_t flat = 0;
  for (auto& message : database.messages) {
    std::vector<const DbcStatements::Mux*> none;
    auto it = muxByMessage.find(&message);
    linker.ResolveMultiplexing(message, it == muxByMessage.end() ? none : it->second);
    message.firstSignal = flat;
    flat += static_cast<std::uint32_t>(message.signals.size());
  }
  database.signalCount = flat;
  std::stable_sort(database.diagnostics.begin(), database.diagnostics.end(),
                   [](const DbcDiagnostic& a, const DbcDiagnostic& b) {
                     return a.line != b.line ? a.line < b.line : a.column < b.column;
                   });
  for (std::size_t i = DbcDatabase::kMaxDiagnostics; i < database.diagnostics.size(); ++i)
    ++(database.diagnostics[i].severity == DbcSeverity::Error ? database.unlistedErrors
                                                              : database.unlistedWarnings);
  if (database.diagnostics.size() > DbcDatabase::kMaxDiagnostics) {
    database.diagnostics.resize(DbcDatabase::kMaxDiagnostics);
    database.diagnostics.shrink_to_fit();
  }
}

void DbcLinker::AddMessages() {
  for (auto& parsed : m_st.messages) {
    DbcMessage& m = parsed.message;
    std::uint32_t canId = 0;
    bool assumed = false;
    const std::string raw = std::to_string(parsed.rawId);
    if (!NormalizeDbcId(parsed.rawId, canId, assumed)) {
      // The pseudo message that holds signals placed in no message has no frame.
      if (m.name != "VECTOR__INDEPENDENT_SIG_MSG")
        Error(m.line, parsed.column,
              "message " + m.name + ": identifier " + raw + " fits no CAN frame, message dropped");
      continue;
    }
    if (assumed)
      Warn(m.line, parsed.column,
           "message " + m.name + ": identifier " + raw +
               " is above 0x7FF without the extended flag (bit 31), taken as " +
               DescribeCanId(canId));
    if (const auto it = m_db.messageIndex.find(canId); it != m_db.messageIndex.end()) {
      const DbcMessage& other = m_db.messages[it->second];
      Error(m.line, parsed.column,
            "message " + m.name + ": identifier " + DescribeCanId(canId) +
                " already used by message " + other.name + " (line " + std::to_string(other.line) +
                "), message dropped");
      continue;
    }
    m.extended = (canId & kCanIdExtended) != 0;
    m.id = canId & kMaxExtendedId;
    const DbcSignal* firstTooLong = nullptr;
    int tooLong = 0;
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      const DbcSignal& s = m.signals[i];
      if (s.BytesNeeded() > m.length && tooLong++ == 0) firstTooLong = &s;
      for (std::size_t j = 0; j < i; ++j)
        if (m.signals[j].name == s.name) {
          Warn(s.line, s.column,
               "signal name " + s.name + " used twice in message " + m.name +
                   ": statements that name it refer to the first (line " +
                   std::to_string(m.signals[j].line) + ")");
          break;
        }
    }
    if (firstTooLong)
      Warn(firstTooLong->line, firstTooLong->column,
           "message " + m.name + " (" + std::to_string(m.length) +
               " bytes): " + std::to_string(tooLong) + " signal(s) from " + firstTooLong->name +
               " on reach past its length; each is decoded only from frames that carry it");
    m_db.messageIndex.emplace(canId, static_cast<std::uint32_t>(m_db.messages.size()));
    m_db.messages.push_back(std::move(m));
  }
}

DbcMessage* DbcLinker::Message(const DbcObjectRef& ref, const char* statement) {
  std::uint32_t canId = 0;
  bool assumed = false;
  if (NormalizeDbcId(ref.rawId, canId, assumed)) {
    if (const auto it = m_db.messageIndex.find(canId); it != m_db.messageIndex.end())
      return &m_db.messages[it->second];
  }
  Warn(ref.line, ref.column,
       std::string(statement) + ": no message with identifier " + std::to_string(ref.rawId) +
           ", ignored");
  return nullptr;
}

DbcSignal* DbcLinker::Signal(const DbcObjectRef& ref, const char* statement) {
  DbcMessage* m = Message(ref, statement);
  if (!m) return nullptr;
  for (auto& s : m->signals)
    if (s.name == ref.name) return &s;
  Warn(
      ref.line, ref.column,
      std::string(statement) + ": message " + m->name + " has no signal " + ref.name + ", ignored");
  return nullptr;
}

DbcNode* DbcLinker::Node(const DbcObjectRef& ref, const char* statement) {
  for (auto& n : m_db.nodes)
    if (n.name == ref.name) return &n;
  Warn(ref.line, ref.column, std::string(statement) + ": no node " + ref.name + ", ignored");
  return nullptr;
}

void DbcLinker::ApplyStatements() {
  for (auto& c : m_st.comments) {
    if (c.ref.kind == DbcObjectKind::Network) {
      m_db.comment = std::move(c.text);
    } else if (c.ref.kind == DbcObjectKind::Node) {
      if (DbcNode* n = Node(c.ref, "CM_")) n->comment = std::move(c.text);
    } else if (c.ref.kind == DbcObjectKind::Message) {
      if (DbcMessage* m = Message(c.ref, "CM_")) m->comment = std::move(c.text);
    } else if (DbcSignal* s = Signal(c.ref, "CM_")) {
      s->comment = std::move(c.text);
    }
  }
  for (auto& t : m_st.transmitters)
    if (DbcMessage* m = Message(t.ref, "BO_TX_BU_"))
      for (auto& node : t.nodes)
        if (std::find(m->transmitters.begin(), m->transmitters.end(), node) ==
            m->transmitters.end())
          m->transmitters.push_back(std::move(node));
  for (auto& v : m_st.values)
    if (DbcSignal* s = Signal(v.ref, "VAL_")) {
      if (!s->values.empty())
        Warn(v.ref.line, v.ref.column,
             "VAL_: signal " + s->name + " already has value descriptions, replaced");
      s->values = std::move(v.values);
    }
  for (const auto& v : m_st.valueTypes) {
    DbcSignal* s = Signal(v.ref, "SIG_VALTYPE_");
    if (!s || v.type == 0) continue;
    const int bits = v.type == 1 ? 32 : 64;
    if (s->length != bits) {
      Warn(v.ref.line, v.ref.column,
           "SIG_VALTYPE_ " + std::to_string(v.type) + " needs a " + std::to_string(bits) +
               "-bit signal, " + s->name + " has " + std::to_string(s->length) +
               " bits: kept as integer");
      continue;
    }
    s->valueType = v.type == 1 ? DbcValueType::Float32 : DbcValueType::Float64;
  }
}

void DbcLinker::ApplyAttributes() {
  for (auto& d : m_st.defaults) {
    auto it = std::find_if(m_db.attributeDefs.begin(), m_db.attributeDefs.end(),
                           [&](const DbcAttributeDef& def) {
                             const bool relation = def.kind == DbcObjectKind::NodeSignal ||
                                                   def.kind == DbcObjectKind::NodeMessage ||
                                                   def.kind == DbcObjectKind::NodeEnvVar;
                             return def.name == d.name && relation == d.relation;
                           });
    if (it == m_db.attributeDefs.end()) {
      Warn(d.line, d.column,
           std::string(d.relation ? "BA_DEF_DEF_REL_" : "BA_DEF_DEF_") + ": attribute " + d.name +
               " is not defined, ignored");
      continue;
    }
    it->hasDefault = true;
    it->defaultValue = std::move(d.value);
  }
  for (auto& a : m_st.attributes) {
    switch (a.ref.kind) {
      case DbcObjectKind::Network:
        m_db.networkAttributes.push_back(std::move(a.attribute));
        break;
      case DbcObjectKind::Node:
        if (DbcNode* n = Node(a.ref, "BA_")) n->attributes.push_back(std::move(a.attribute));
        break;
      case DbcObjectKind::Message:
        if (DbcMessage* m = Message(a.ref, "BA_")) m->attributes.push_back(std::move(a.attribute));
        break;
      default:
        if (DbcSignal* s = Signal(a.ref, "BA_")) s->attributes.push_back(std::move(a.attribute));
        break;
    }
  }
  for (auto& r : m_st.relations) {
    if (r.value.kind != DbcObjectKind::NodeEnvVar) {
      bool assumed = false;
      if (!NormalizeDbcId(r.rawId, r.value.messageId, assumed)) {
        Warn(r.line, r.column,
             "BA_REL_: identifier " + std::to_string(r.rawId) + " fits no CAN frame, ignored");
        continue;
      }
    }
    m_db.relationAttributes.push_back(std::move(r.value));
  }
}

void DbcLinker::Warn(int line, int column, std::string text) {
  m_db.AddDiagnostic({DbcSeverity::Warning, line, column, std::move(text)});
}

void DbcLinker::Error(int line, int column, std::string text) {
  m_db.AddDiagnostic({DbcSeverity::Error, line, column, std::move(text)});
}

}  // namespace XeCanAnalysis
