#pragma once
// canhost dbc: inspect a DBC file, decode a CAN log with it.
#include <string>
#include <vector>

namespace app {

inline constexpr const char* kDbcUsage =
    "usage: canhost dbc info FILE.dbc\n"
    "       canhost dbc decode --dbc FILE.dbc LOG\n"
    "  info    lists the messages and signals of FILE.dbc and every warning and error with\n"
    "          file, line and column. Exit code 1 when the file has errors.\n"
    "  decode  decodes a CAN log (candump -L, Vector ASC, BLF or PEAK TRC) and writes CSV to\n"
    "          stdout, one row per decoded signal: time,channel,id,message,signal,value (time\n"
    "          in seconds as in the log, id in hex, value with 17 significant digits). Frames of\n"
    "          identifiers the DBC does not know are skipped and counted on stderr.\n";

int RunDbcInfo(const std::vector<std::string>& args);
int RunDbcDecode(const std::vector<std::string>& args);

}  // namespace app
