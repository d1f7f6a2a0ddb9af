#pragma once
// Application signals that exist only for the running process: a DBC signal that no application
// signal of the database delivers can be given one of its own (canhost run --all-signals), named
// after it and with its unit. Numbers start at kFirst, far above any number of a database file,
// and a name keeps its number for the life of the process.
//
//   Number("WheelSpeedFL", "km/h") -> 1000000   Number("Gear", "")           -> 1000001
//   Number("WheelSpeedFL", "rpm")  -> 1000000   (the first unit stays)
//   Name(1000001) -> "Gear"        Unit(1000000) -> "km/h"     Name(5) -> null
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "host/mfc/CString.h"

class SessionSignals {
 public:
  static constexpr int kFirst = 1000000;

  // [any] The current host's table.
  static SessionSignals& Instance();

  // [any] The number of the signal with that name, made on first use.
  int Number(const CString& name, const CString& unit);
  // [any] Name and unit of a number of this table; nothing for any other number.
  std::optional<CString> Name(int number) const;
  std::optional<CString> Unit(int number) const;

 private:
  struct Row {
    CString name;
    CString unit;
  };
  mutable std::mutex m_mutex;
  std::map<CString, int> m_byName;
  std::vector<Row> m_rows;  // index = number - kFirst
};
