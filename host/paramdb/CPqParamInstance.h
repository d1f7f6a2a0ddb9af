#pragma once
// The host's parameter database: application signals, their properties and named texts. Read
// from "paramdb.txt" in the settings folder (format: ParamDbFile.h), or from the embedded default
// (data/paramdb.txt) when the folder has none. All instances share one copy per process, read
// again when the settings folder or the file changes; errors in the file are logged (category 1)
// with file and line when it is read, and the lines in error are left out.
#include <memory>
#include <string>
#include <vector>

#include "host/mfc/CString.h"
#include "host/paramdb/ParamDbTables.h"

class CPqDistillery;  // the host's measurement set-up; this host has none to give

class CPqParamInstance {
 public:
  static constexpr const char* kFileName = "paramdb.txt";

  // [any] Opens the database; `distillery` is not used (pass null).
  explicit CPqParamInstance(CPqDistillery* distillery = nullptr);
  ~CPqParamInstance();

  // [any] False when the database file exists but cannot be read: every table is then empty.
  bool Initialized() const noexcept;
  // [any] The application signal with that number, or null. Owned by the database.
  const ApplicationSignalRow* ApplicationSignal(int number) const noexcept;
  // [ui] The property table in file order. Owned by the database; callers may rewrite the unit
  // texts, which last until the file is read again.
  std::vector<AppSignalPropertyRow>& AppSignalProperty() noexcept;
  // [any] The name of an application signal (also of a session signal, SessionSignals.h), or
  // "Signal N" for a number neither has.
  CString ApplicationSignalName(int number) const;
  // [any] The unit of an application signal as shown: a built-in unit code written out, else the
  // property's own text; a session signal's unit (SessionSignals.h); empty when unknown.
  CString UnitText(int number) const;
  // [any] The named texts. Owned by the database.
  const AuxStringTable& AuxStrings() const noexcept;
  // [any] Where the tables come from: the file's path, or "<embedded default>".
  std::string Source() const;
  // [any] Errors of the last read, "FILE:LINE: text".
  const std::vector<std::string>& Errors() const noexcept;

  struct Database;

 private:
  std::shared_ptr<Database> m_db;
};
