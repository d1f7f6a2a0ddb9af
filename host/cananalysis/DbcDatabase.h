#pragma once
// The content of one DBC file after parsing and linking: messages with their signals, nodes, value
// tables, comments, attributes, and every finding about the file. Texts are UTF-8 (a file that is
// not valid UTF-8 is read as Latin-1). Built by DbcParser; read by DbcFrameDecoder, CDbcDecoder
// and the canhost dbc tools. Immutable once built, so any thread may read it.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/candriver/CanId.h"

namespace XeCanAnalysis {

// CAN identifiers in this library carry the frame format in bit 31, as DBC files write them (the
// flagged form of host/candriver/CanId.h).
using XeCanDriverKvaser::kCanIdExtended;
using XeCanDriverKvaser::kMaxExtendedId;
using XeCanDriverKvaser::kMaxStandardId;
using XeCanDriverKvaser::NormaliseFlaggedId;
// Multiplexer switches one message may have.
inline constexpr int kMaxDbcSwitches = 64;

enum class DbcSeverity : std::uint8_t {
  Warning,  // taken, with the interpretation the text states
  Error,    // the statement (or the part named) was dropped
};

struct DbcDiagnostic {
  DbcSeverity severity;
  int line;          // 1-based line of the file
  int column;        // 1-based byte column (a tab counts 1)
  std::string text;  // without file and position
};

// "FILE:LINE:COLUMN: warning: TEXT" (or "error:"), the form every tool prints.
std::string FormatDbcDiagnostic(std::string_view file, const DbcDiagnostic& diagnostic);

enum class DbcByteOrder : std::uint8_t {
  Intel,     // "@1": little endian, start bit = least significant bit
  Motorola,  // "@0": big endian, start bit = most significant bit (sawtooth numbering)
};

enum class DbcValueType : std::uint8_t {
  Unsigned,  // "+"
  Signed,    // "-", two's complement
  Float32,   // SIG_VALTYPE_ 1: IEEE single, length 32
  Float64,   // SIG_VALTYPE_ 2: IEEE double, length 64
};

// Value of an attribute: numbers for INT, HEX, FLOAT and ENUM (the enum index), text for STRING.
struct DbcAttrValue {
  bool isText = false;
  double number = 0.0;
  std::string text;
};

struct DbcAttribute {
  std::string name;
  DbcAttrValue value;
};

// Object kinds that attributes are defined for ("" network, "BU_", "BO_", "SG_", "EV_", and the
// relations "BU_SG_REL_", "BU_BO_REL_", "BU_EV_REL_").
enum class DbcObjectKind : std::uint8_t {
  Network,
  Node,
  Message,
  Signal,
  EnvVar,
  NodeSignal,
  NodeMessage,
  NodeEnvVar
};

enum class DbcAttrType : std::uint8_t { Int, Hex, Float, String, Enum };

struct DbcAttributeDef {
  std::string name;
  DbcObjectKind kind = DbcObjectKind::Network;
  DbcAttrType type = DbcAttrType::String;
  double minimum = 0.0;                 // INT, HEX, FLOAT
  double maximum = 0.0;                 // INT, HEX, FLOAT
  std::vector<std::string> enumValues;  // ENUM, in index order
  bool hasDefault = false;              // BA_DEF_DEF_ / BA_DEF_DEF_REL_ seen
  DbcAttrValue defaultValue;
};

// BA_REL_: an attribute of a node's relation to a signal, message or environment variable.
struct DbcRelationAttribute {
  DbcObjectKind kind = DbcObjectKind::NodeSignal;
  std::string node;
  std::uint32_t messageId = 0;  // kCanIdExtended form; NodeSignal and NodeMessage
  std::string target;           // signal or environment variable name
  DbcAttribute attribute;
};

struct DbcValueDescription {
  std::int64_t value;  // raw value
  std::string text;
};

// Inclusive range of raw switch values that selects a multiplexed signal.
struct DbcMuxRange {
  std::int64_t low;
  std::int64_t high;
};

struct DbcSignal {
  std::string name;
  int startBit = 0;  // 0..511, as written (Intel: LSB, Motorola: MSB)
  int length = 1;    // bits, 1..64
  DbcByteOrder byteOrder = DbcByteOrder::Intel;
  DbcValueType valueType = DbcValueType::Unsigned;
  double factor = 1.0;
  double offset = 0.0;
  double minimum = 0.0;  // informative only: values are never clamped
  double maximum = 0.0;
  std::string unit;
  std::vector<std::string> receivers;
  // Multiplexing. A signal with muxParent < 0 is always present. Otherwise it is present when the
  // signal muxParent (an index into the message's signals, a switch) is present and its raw value
  // lies in one of muxRanges.
  bool isSwitch = false;  // "M" or "mNM"
  int muxParent = -1;     // index of the selecting switch in the message, or -1
  std::vector<DbcMuxRange> muxRanges;
  std::int64_t muxValue = -1;               // N of "mN" / "mNM" as written, -1 without
  std::vector<DbcValueDescription> values;  // VAL_, for display; never applied to values
  std::string comment;
  std::vector<DbcAttribute> attributes;
  int line = 0;    // of the signal's name in the file
  int column = 0;  // of the signal's name in the file

  // Frame bytes the signal needs: a shorter frame does not carry it.
  int BytesNeeded() const noexcept {
    const int lastBit = byteOrder == DbcByteOrder::Intel
                            ? startBit + length - 1
                            : (startBit / 8) * 8 + (7 - startBit % 8) + length - 1;
    return lastBit / 8 + 1;
  }
};

struct DbcMessage {
  std::uint32_t id = 0;  // 11 or 29 bits
  bool extended = false;
  std::string name;
  int length = 0;                         // bytes, 0..64
  std::vector<std::string> transmitters;  // BO_ transmitter first, then BO_TX_BU_
  std::vector<DbcSignal> signals;
  std::string comment;
  std::vector<DbcAttribute> attributes;
  std::uint32_t firstSignal = 0;  // index of signals[0] in the database's flat signal numbering
  int line = 0;

  // [any] The identifier in kCanIdExtended form.
  std::uint32_t CanId() const noexcept { return extended ? (id | kCanIdExtended) : id; }
};

struct DbcNode {
  std::string name;
  std::string comment;
  std::vector<DbcAttribute> attributes;
};

struct DbcValueTable {
  std::string name;
  std::vector<DbcValueDescription> values;
};

struct DbcDatabase {
  std::string version;
  std::string comment;  // CM_ "..." of the network
  std::vector<DbcNode> nodes;
  std::vector<DbcMessage> messages;  // file order
  std::vector<DbcValueTable> valueTables;
  std::vector<DbcAttributeDef> attributeDefs;
  std::vector<DbcAttribute> networkAttributes;
  std::vector<DbcRelationAttribute> relationAttributes;
  // Diagnostics kept of a file: a binary file gives one for nearly every line, and neither the
  // memory nor a reader of them gains from more; the rest are only counted.
  static constexpr std::size_t kMaxDiagnostics = 1000;
  // Kept while the file is read, before they are sorted by line and cut to kMaxDiagnostics (each
  // stage of reading reports in its own order).
  static constexpr std::size_t kKeptWhileReading = 4 * kMaxDiagnostics;

  std::vector<DbcDiagnostic> diagnostics;  // in file order, the first kMaxDiagnostics
  std::size_t unlistedErrors = 0;          // errors beyond those, counted only
  std::size_t unlistedWarnings = 0;        // warnings beyond those, counted only
  std::uint32_t signalCount = 0;           // signals of all messages

  // [any] The message with that identifier (kCanIdExtended form; an identifier above 0x7FF
  // without the flag is taken as extended), or null.
  const DbcMessage* FindMessage(std::uint32_t canId) const noexcept;
  // [any] Position of a flat signal index: message and signal index within it.
  std::pair<std::uint32_t, std::uint32_t> Locate(std::uint32_t flatSignal) const noexcept;
  // [any] Value of an attribute of a signal: its own, else the definition's default; null when
  // neither exists.
  const DbcAttrValue* SignalAttribute(const DbcSignal& signal,
                                      std::string_view name) const noexcept;
  // [any] Number of diagnostics of each severity, the unlisted ones included.
  std::size_t ErrorCount() const noexcept;
  std::size_t WarningCount() const noexcept;
  // [any] Diagnostics found but not in `diagnostics`.
  std::size_t Unlisted() const noexcept { return unlistedErrors + unlistedWarnings; }
  // [any] Adds a diagnostic while the file is read: kept up to kKeptWhileReading, then counted.
  void AddDiagnostic(DbcDiagnostic diagnostic);

  // Built by the linker: identifier (kCanIdExtended form) -> index in messages.
  std::unordered_map<std::uint32_t, std::uint32_t> messageIndex;
};

}  // namespace XeCanAnalysis
