#pragma once
// The tables of the parameter database, as CPqParamInstance hands them out.
#include <algorithm>
#include <cwchar>
#include <vector>

#include "host/mfc/CString.h"
#include "host/paramdb/TableType.h"

// One application signal: a quantity the host measures and shows.
struct ApplicationSignalRow {
  int number = 0;          // application signal number, unique, >= 0
  TableType::Text name{};  // display name
};

// How an application signal is offered and shown. Rows keep the order of the database file.
struct AppSignalPropertyRow {
  int signal = 0;              // application signal number
  unsigned flags = 0;          // bit 1 (0x02) and bit 3 (0x08): offered for CAN decoding
  int unitCode = 0;            // CMeasuringUnit code: 0 none, 2..30 built in, 1 and 31+ own text
  int unitModifier = 0;        // decimal exponent of the unit prefix (3: k, -3: m)
  TableType::Text unitText{};  // unit as shown; rebuilt from code and modifier by its users
};

// A named text, such as the DBC file of a CAN channel.
struct AuxStringRow {
  TableType::Text name{};  // key
  CString text;
};

// Named texts sorted by name; lookups match the whole name exactly (case-sensitive).
class AuxStringTable {
 public:
  AuxStringTable() = default;
  explicit AuxStringTable(std::vector<AuxStringRow> rows) : m_rows(std::move(rows)) {
    std::stable_sort(m_rows.begin(), m_rows.end(), Less);
  }
  // [any] The row whose name equals key, or null. Owned by the table.
  const AuxStringRow* Find(const TableType::Text& key) const noexcept {
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), key,
                                     [](const AuxStringRow& r, const TableType::Text& k) {
                                       return std::wcscmp(r.name.data(), k.data()) < 0;
                                     });
    return it != m_rows.end() && std::wcscmp(it->name.data(), key.data()) == 0 ? &*it : nullptr;
  }
  // [any] Every row, sorted by name. Owned by the table.
  const std::vector<AuxStringRow>& Rows() const noexcept { return m_rows; }

 private:
  static bool Less(const AuxStringRow& a, const AuxStringRow& b) noexcept {
    return std::wcscmp(a.name.data(), b.name.data()) < 0;
  }
  std::vector<AuxStringRow> m_rows;
};
