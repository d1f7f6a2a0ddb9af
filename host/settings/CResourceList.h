#pragma once
// A cursor on one named list of a sea, built on the stack for one read or one rewrite:
//   read:    CResourceList list(sea, L"CAN-Sources");
//            for (list.GotoHead(); list.IsValid(); list.GotoNext()) use(list.GetCurrentLine());
//   rewrite: list.RemoveAll(); then per element list.AddLineTail()->SetText(...)
// Built on a const sea the cursor is read-only: RemoveAll does nothing and AddLineTail gives null.
// The first AddLineTail on a list that does not exist yet creates it.
//
// Each call locks the sea. A walk must not overlap a RemoveAll of the same list through another
// cursor (the lines under the cursor would be gone); the program rewrites lists on the UI thread.
#include <cstddef>
#include <list>
#include <string>

#include "host/mfc/CString.h"
#include "host/settings/CResourceEntry.h"
#include "host/settings/CResourceSea.h"

class CResourceList {
 public:
  // [any] Writable cursor on list `name` of `sea` (the sea must outlive the cursor).
  CResourceList(CResourceSea& sea, const CString& name);
  CResourceList(CResourceSea* sea, const CString& name) : CResourceList(*sea, name) {}
  // [any] Read-only cursor.
  CResourceList(const CResourceSea& sea, const CString& name);
  CResourceList(const CResourceSea* sea, const CString& name) : CResourceList(*sea, name) {}

  // [any] 1 when the list exists (and can be read), 0 when it does not.
  int Status() const;
  // [any] Number of lines (0 for a missing list).
  std::size_t GetCount() const;

  // [any] Cursor to the first line; false (cursor invalid) for an empty or missing list.
  bool GotoHead();
  // [any] Cursor to the next line; false (cursor invalid) after the last.
  bool GotoNext();
  // [any] Whether the cursor is on a line.
  bool IsValid() const noexcept { return m_valid; }
  // [any] The line under the cursor, or null when the cursor is invalid. Owned by the sea.
  CResourceEntry* GetCurrentLine() const;

  // [ui] Removes every line (pointers to them become invalid); the cursor becomes invalid.
  void RemoveAll();
  // [ui] Appends a line without parts and returns it (owned by the sea); null when read-only.
  CResourceEntry* AddLineTail();

 private:
  CResourceSea& m_sea;
  const std::wstring m_name;
  const bool m_writable;
  CResourceSea::List* m_list = nullptr;  // the walked list, set by GotoHead
  std::list<CResourceEntry>::iterator m_cursor;
  bool m_valid = false;
};
