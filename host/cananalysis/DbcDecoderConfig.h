#pragma once
// The configuration of one DBC decoder, kept per decoder name in the settings folder
// ("decoders/<name>.txt", written atomically): the DBC file and the assignment of DBC signals to
// application signals. An assignment here wins over the DBC file's own: the signal attribute
// "ApplicationSignal" (BA_DEF_ SG_ "ApplicationSignal" INT -1 2147483647;). Text form, one entry
// per line, '#' starts a comment line:
//   file = vehicle.dbc           -> DBC file vehicle.dbc (relative: in the settings folder)
//   assign 0x100 EngineSpeed = 1 -> EngineSpeed of message 0x100 delivers application signal 1
//   assign 0x98FEFE00 Brake = 7  -> Brake of extended message 0x18FEFE00 delivers 7
//   assign 0x100 Gear = -1       -> Gear delivers nothing, whatever the DBC file says
//   signals = all                -> a signal nothing is assigned to delivers a signal of its own,
//                                   named after it (as canhost run --all-signals does)
//   signals = assigned           -> only assigned signals deliver (the default)
//   # note                       -> ignored
//   assign 0x100 = 1             -> error "FILE:LINE: assign MESSAGE-ID SIGNAL = NUMBER expected"
//   colour = red                 -> error "FILE:LINE: unknown entry 'colour'"
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"
#include "host/mfc/CString.h"

namespace XeCanAnalysis {

inline constexpr const char* kAppSignalAttribute = "ApplicationSignal";

// A DBC signal by message identifier (kCanIdExtended form) and name.
struct DbcSignalKey {
  std::uint32_t canId = 0;
  std::string signal;
  bool operator<(const DbcSignalKey& o) const {
    return std::tie(canId, signal) < std::tie(o.canId, o.signal);
  }
  bool operator==(const DbcSignalKey& o) const = default;
};

class DbcDecoderConfig {
 public:
  CString dbcFile;                          // as the user gave it; empty: none
  std::map<DbcSignalKey, int> assignments;  // application signal number, -1: none
  bool allSignals = false;                  // unassigned signals get session signals of their own

  // [any] The file of the decoder with that name in the settings folder in force.
  static std::filesystem::path PathFor(const CString& decoderName);
  // [any] Reads the text form; lines in error are skipped and reported in `errors`.
  static DbcDecoderConfig Parse(std::string_view text, const std::string& fileName,
                                std::vector<std::string>& errors);
  // [any] The text form, with a first comment line naming the decoder.
  std::string Format(const CString& decoderName) const;

  // [any] Application signal of every signal of the database, by flat signal number: the
  // assignment of this configuration, else the DBC attribute, else -1.
  std::vector<int> ApplicationNumbers(const DbcDatabase& database) const;
};

}  // namespace XeCanAnalysis
