#pragma once
// The text form of the parameter database: "paramdb.txt" in the settings folder (the embedded
// default of data/paramdb.txt when there is none). UTF-8; sections in brackets; one entry per
// line "KEY = VALUE"; lines starting with '#' and blank lines are ignored. Examples:
//   [ApplicationSignals]
//   7 = Engine speed                     -> signal 7 named "Engine speed"
//   [AppSignalProperties]
//   7 = 0x0A, 18, 0, "1/min"             -> signal 7: flags 0x0A, unit code 18, modifier 0, "1/min"
//   8 = 8, 11, 3, ""                     -> signal 8: flags 8, unit code 11, modifier 3, no text
//   [AuxStrings]
//   CAN_Channel_Zero_DBC_File = a.dbc    -> named text "CAN_Channel_Zero_DBC_File" = "a.dbc"
//   Title = "  padded  "                 -> "Title" = "  padded  " (quotes keep the spaces)
//   x = Foo            (signals)         -> error "FILE:LINE: signal number expected"
//   7 = 0x0A, 18       (properties)      -> error "FILE:LINE: flags, unit code, unit modifier and
//                                           quoted unit text expected"
//   [Colours]                            -> error "FILE:LINE: unknown section [Colours]"
// A line in error is skipped; the rest of the file is used.
#include <string>
#include <string_view>
#include <vector>

#include "host/paramdb/ParamDbTables.h"

struct ParamDbContent {
  std::vector<ApplicationSignalRow> signals;     // ascending number
  std::vector<AppSignalPropertyRow> properties;  // file order
  std::vector<AuxStringRow> aux;                 // file order
  std::vector<std::string> errors;               // "FILE:LINE: text"
};

class ParamDbFile {
 public:
  // [any] Reads the text of a database file; `fileName` only names it in errors.
  static ParamDbContent Parse(std::string_view text, const std::string& fileName);
};
