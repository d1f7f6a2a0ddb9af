#pragma once
// Reads a file of decoded signals as canhost run --signals writes it (SignalRecorder.h) back into
// one series per signal, for a plot. Fields may be quoted (RFC 4180), a quoted field may span
// lines; rows of a signal need not be in time order. Reading is linear in the file, also when a
// stray quote opens a field that never closes (it is reported after kMaxRecordBytes). Only a
// regular file of at most kMaxFileBytes is read; every point is kept (16 bytes a row). The last
// line of a recording killed while it wrote may be cut short: without its line feed, a last row
// that does not read is left out.
//
//   time,signal,value,unit                  <- the first line, exactly
//   0.25,Engine speed,1520,1/min            -> series "Engine speed" [1/min]: (0.25, 1520)
//   0.5,"Temp, coolant",87,°C               -> series "Temp, coolant" [°C]: (0.5, 87)
//   0.75,Ratio,nan,                         -> series "Ratio": (0.75, NaN), a gap (also inf, -inf)
//   nan,Ratio,1,                            -> FILE:LINE: time 'nan' is not a number
//   0.5,Engine speed,x,1/min                -> FILE:LINE: value 'x' is not a number
//   0.5,Engine speed,1520                   -> FILE:LINE: 3 fields where time,signal,value,unit
//                                              are 4
//   (no rows)                               -> FILE: no values
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ui/SignalSnapshot.h"

namespace app {

class SignalCsvReader {
 public:
  // Largest file read: about 50 million rows.
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{2} << 30;
  // Longest record (a line, or the lines of a quoted field that holds line breaks).
  static constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

  // [ui] The series of `file`, sorted by name. False with "FILE:LINE: reason" (or "FILE: reason")
  // in `error`.
  static bool Read(const std::filesystem::path& file, std::vector<ui::PlotSeries>& series,
                   std::string& error);
};

}  // namespace app
