#pragma once
// A sea: a settings store of named entries and named lists, kept in memory and persisted as one
// text file (format: host/settings/SeaFile.h). Loading happens once, explicitly (CSeaBase loads
// each sea on first use); saving is explicit and atomic.
//
// A file that cannot be read or parsed is refused: the error (file, line, column) is logged with
// category 1 style 3 and kept in LoadError(), the sea works in memory from empty, and Save() never
// touches that file again in this process.
//
// One mutex guards the sea and all its entries and lists. Entries and list lines are nodes: a
// pointer to one stays valid while it exists (top-level entries are never removed; list lines until
// their list is emptied).
#include <cstddef>
#include <filesystem>
#include <list>
#include <mutex>
#include <optional>
#include <string>

#include "host/mfc/CString.h"
#include "host/settings/CResourceEntry.h"
#include "host/settings/SeaFile.h"

namespace lookup {
// What LookupEntry did.
enum result : int {
  notFound = 0,  // no such entry, none created
  found = 1,     // the entry existed
  created = 2,   // the entry was created (mode 2), without value parts
};
}  // namespace lookup

class CResourceSea {
 public:
  // LookupEntry modes: 2 finds or creates; every other mode only finds.
  static constexpr int kLookupFind = 0;
  static constexpr int kLookupFindOrCreate = 2;

  // [ui] An empty sea named `name` (for logs and the file header) persisted in `file`.
  CResourceSea(std::wstring name, std::filesystem::path file);
  CResourceSea(const CResourceSea&) = delete;
  CResourceSea& operator=(const CResourceSea&) = delete;

  // [ui] Replaces the content with the file's (an absent file gives an empty sea). False when the
  // file is refused; see above. Earlier entry pointers become invalid.
  bool Load();
  // [ui] Writes the sea to its file if it changed since loading or the last save. False when the
  // file was refused at load (logged, file untouched) or cannot be written (logged).
  bool Save();

  // [any] Name and file given at construction (references valid for the sea's lifetime).
  const std::wstring& Name() const noexcept { return m_name; }
  const std::filesystem::path& File() const noexcept { return m_file; }
  // [any] Why the file was refused at load, or nullopt (a copy).
  std::optional<host::SeaError> LoadError() const;

  // [any] The entry named `name`, or null. The sea owns the entry.
  CResourceEntry* FindEntry(const CString& name);
  const CResourceEntry* FindEntry(const CString& name) const;
  // [any] Sets `entry` to the entry named `name`; with mode 2 an absent one is created (appended,
  // no value parts). `flags` is reserved (pass 0). The sea owns the entry.
  lookup::result LookupEntry(CResourceEntry*& entry, int mode, const CString& name, int flags);
  // [any] Part `index` of the entry `name` read with GetIntFb, or `fallback` without the entry.
  int LookupGetInt(const CString& name, std::size_t index, int fallback) const;

  // [any] Everything the sea holds, in order (a copy; what Save() would write).
  host::SeaContent Content() const;

 private:
  friend class CResourceEntry;
  friend class CResourceList;
  struct List {
    std::wstring name;
    std::list<CResourceEntry> lines;
  };
  // Callers hold m_mutex.
  CResourceEntry* FindEntryLocked(const std::wstring& name) const;
  List* FindListLocked(const std::wstring& name) const;
  host::SeaContent ContentLocked() const;

  mutable std::mutex m_mutex;
  const std::wstring m_name;
  const std::filesystem::path m_file;
  mutable std::list<CResourceEntry> m_entries;  // in creation / file order
  mutable std::list<List> m_lists;              // in creation / file order
  std::optional<host::SeaError> m_refused;      // set when the file was refused at load
  bool m_changed = false;                       // content differs from the file
};
