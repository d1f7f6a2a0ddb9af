#pragma once
// Second half of reading a DBC file: statements may come in any order, so the parser collects the
// messages and every statement that refers to a message, signal or node, and the linker resolves
// them once the whole file is read. Identifiers are taken as written, in both forms:
//   2364540158 (bit 31 set)        -> extended 0x0CF004FE
//   316495015  (above 0x7FF)       -> extended 0x12DD54A7, with a warning at its BO_
//   1394                           -> standard 0x572
//   3221225472 VECTOR__INDEPENDENT_SIG_MSG -> the pseudo message of unplaced signals, dropped
#include <cstdint>
#include <string>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"

namespace XeCanAnalysis {

// What a statement refers to: kind Network, Node (name), Message (rawId), Signal (rawId + name)
// or EnvVar (name); with the position of the statement for diagnostics.
struct DbcObjectRef {
  DbcObjectKind kind = DbcObjectKind::Network;
  std::uint64_t rawId = 0;  // as written in the file
  std::string name;
  int line = 0;
  int column = 0;
};

struct DbcParsedMessage {
  std::uint64_t rawId = 0;  // as written
  int column = 0;           // of the identifier
  DbcMessage message;       // id, extended, firstSignal filled by the linker
};

struct DbcStatements {
  std::vector<DbcParsedMessage> messages;
  struct Comment {
    DbcObjectRef ref;
    std::string text;
  };
  struct Attribute {
    DbcObjectRef ref;
    DbcAttribute attribute;
  };
  struct Default {
    std::string name;
    DbcAttrValue value;
    bool relation;  // BA_DEF_DEF_REL_
    int line;
    int column;
  };
  struct Values {
    DbcObjectRef ref;  // Signal (VAL_ for an environment variable is not kept)
    std::vector<DbcValueDescription> values;
  };
  struct ValueType {
    DbcObjectRef ref;
    std::int64_t type;  // 0 integer, 1 float, 2 double
  };
  struct Mux {
    DbcObjectRef ref;  // the multiplexed signal
    std::string switchName;
    std::vector<DbcMuxRange> ranges;
  };
  struct Transmitters {
    DbcObjectRef ref;  // Message
    std::vector<std::string> nodes;
  };
  struct Relation {
    DbcRelationAttribute value;
    std::uint64_t rawId;
    int line;
    int column;
  };
  std::vector<Comment> comments;
  std::vector<Attribute> attributes;
  std::vector<Default> defaults;
  std::vector<Values> values;
  std::vector<ValueType> valueTypes;
  std::vector<Mux> mux;
  std::vector<Transmitters> transmitters;
  std::vector<Relation> relations;
};

class DbcLinker {
 public:
  // [any] Moves the messages into the database and applies every collected statement; findings
  // are appended to database.diagnostics, which ends up sorted by position.
  static void Link(DbcStatements& statements, DbcDatabase& database);

 private:
  DbcLinker(DbcStatements& statements, DbcDatabase& database) : m_st(statements), m_db(database) {}
  void AddMessages();
  void ResolveMultiplexing(DbcMessage& message, std::vector<const DbcStatements::Mux*>& entries);
  void ApplyStatements();
  void ApplyAttributes();
  DbcMessage* Message(const DbcObjectRef& ref, const char* statement);
  DbcSignal* Signal(const DbcObjectRef& ref, const char* statement);
  DbcNode* Node(const DbcObjectRef& ref, const char* statement);
  void Warn(int line, int column, std::string text);
  void Error(int line, int column, std::string text);

  DbcStatements& m_st;
  DbcDatabase& m_db;
};

// Identifier as written -> kCanIdExtended form. False for identifiers that fit no CAN frame.
// `assumedExtended` tells that an identifier above 0x7FF came without the flag.
bool NormalizeDbcId(std::uint64_t raw, std::uint32_t& canId, bool& assumedExtended) noexcept;

// "0x12DD54A7 (extended)" / "0x572": identifiers in messages.
std::string DescribeCanId(std::uint32_t canId);

}  // namespace XeCanAnalysis
