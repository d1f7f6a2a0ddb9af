#pragma once
// A candump log of real-looking traffic for the benchmarks: every message of a DBC file in turn,
// in file order, with pseudo-random payloads (a fixed xorshift sequence, so the same arguments
// give the same file byte for byte), `spacingNs` apart from time 0 on can0. Messages longer than
// 8 bytes are CAN FD frames.
//   WriteDbcLog(db, "/tmp/x.log", 3, 250000) ->
//     (0.000000) can0 0C1#9E1A...        (first message of the file)
//     (0.000250) can0 18FEF100#...       (second; extended identifiers with 8 digits)
//     (0.000500) can0 7FF##1<24 digits>  (third, a CAN FD message of 12 bytes)
#include <cstdint>
#include <string>

#include "host/cananalysis/DbcDatabase.h"

namespace bench {

// Writes the log; false with the reason in `error`.
bool WriteDbcLog(const XeCanAnalysis::DbcDatabase& db, const std::string& path,
                 std::uint64_t messages, std::int64_t spacingNs, std::string& error);

// The command line mode shared by the benchmark programs:
//   PROGRAM --write-log=OUT --dbc=FILE [--messages=N] [--spacing-us=U]
// Returns -1 when `argv` does not ask for it, else the exit code.
int WriteDbcLogMain(int argc, char** argv);

}  // namespace bench
