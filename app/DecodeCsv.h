#pragma once
// The rows of `canhost dbc decode`: one CSV row per value a log frame's DBC message reports,
//   time,channel,id,message,signal,value
//   1436509052.249713,can0,0C9,ECMEngineStatus,EngineSpeed,1520.25
//   0.000250125,"my,bus",18FEF100,EEC1,Speed,-0.5       <- ns when the log has them; quoted name
// time in seconds as the log has it (microseconds at least, nanoseconds only when not zero),
// identifiers in hex (3 digits standard, 8 extended), values shortest-exact (CsvWriter.h).
// What a row repeats is made once: the frame's first three fields once per frame, the quoted
// message and signal names once per signal when the database is taken; a row then costs one
// number's formatting and two copies.
#include <cstdint>
#include <string>
#include <vector>

#include "app/CsvWriter.h"
#include "host/cananalysis/DbcDatabase.h"
#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/candriver/CanLogEntry.h"

namespace app {

class DecodeCsv {
 public:
  // [ui] Rows of frames decoded with `db` (not referenced afterwards) into `out`.
  DecodeCsv(const XeCanAnalysis::DbcDatabase& db, CsvWriter& out);

  // [ui] The header line.
  void Header();
  // [ui] The rows of one data frame; the number of values, -1 for an identifier the database
  // does not have.
  int Frame(const XeCanDriverKvaser::CanLogEntry& entry);

  // [any] "<seconds>.<fraction>" of `ns`, as the time field (the examples above); returns the
  // end of the text written at `at`, which has room for 32 characters.
  static char* FormatSeconds(char* at, std::int64_t ns) noexcept;

 private:
  CsvWriter& m_out;
  XeCanAnalysis::DbcFrameDecoder m_decoder;
  std::vector<std::string> m_names;  // by flat signal: ",<message>,<signal>," quoted as needed
  std::string m_channel;             // the last frame's channel as the log names it
  std::string m_channelField;        // and as a field
  std::string m_head;                // "<time>,<channel>,<id>" of the frame
};

}  // namespace app
