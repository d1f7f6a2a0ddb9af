#pragma once
// One entry of a sea: a name and an ordered sequence of text value parts addressed by a zero-based
// index. Top-level entries of a sea are named; the lines of a list are entries without a name.
//
// Every operation locks the owning sea, so the UI and processing threads may use entries of the
// same sea at once. An entry lives as long as its sea (top-level entries) or until its list is
// emptied with RemoveAll (list lines); pointers to it stay valid that long.
//
// Typed parts are decimal text. Reading a typed part (examples, text -> GetIntFb(i, 9)):
//   "42" -> 42     " -7 " -> -7     "+3" -> 3     "" -> 9     "12abc" -> 9     "99999999999" -> 9
// GetBoolFb reads any such integer, non-zero as true; other text gives the fallback.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/mfc/CString.h"

class CResourceSea;

class CResourceEntry {
 public:
  // [any] An entry of `owner` (locked and marked changed through it), or a standalone entry when
  // `owner` is null. Entries of a sea are made by the sea and its lists, not by callers.
  explicit CResourceEntry(CResourceSea* owner = nullptr, std::wstring name = {});
  CResourceEntry(const CResourceEntry&) = delete;
  CResourceEntry& operator=(const CResourceEntry&) = delete;

  // [any] The entry's name (empty for list lines); a copy.
  CString GetName() const;
  // [any] Number of value parts.
  std::uint64_t GetValueCount() const;

  // [any] Typed reads of part `index`; the fallback when the part is missing or not a number.
  int GetIntFb(std::size_t index, int fallback) const;
  bool GetBoolFb(std::size_t index, bool fallback) const;
  // [any] The text of part `index` (a copy), or the fallback when the part is missing.
  CString GetStringFb(std::size_t index, const CString& fallback) const;

  // [any] Typed writes: part `index` holds the value afterwards. Index = count appends; a larger
  // index first fills the gap with empty parts. SetInt writes decimal text, SetBool "1" or "0".
  void SetInt(int value, std::size_t index);
  void SetBool(bool value, std::size_t index);
  void SetText(const CString& value, std::size_t index);

  // [any] Text of part `index`, or null when index >= count. The pointer belongs to the entry and
  // stays valid until that entry is next changed.
  const wchar_t* EintragText(std::size_t index) const;
  // [any] Part `index` holds `text` afterwards; same index rules as SetText.
  void WertNeuSetzen(const CString& text, std::size_t index);

  // [any] The entry's value becomes the one part `text`.
  void SetSeaLine(const CString& text);
  // [any] The entry's whole value: its parts joined by single blanks (so after SetSeaLine(t) it is
  // exactly t). False, with `value` emptied, when the entry has no parts.
  bool GetLineValuePart(CString& value) const;

  // [any] All parts (a copy).
  std::vector<std::wstring> GetParts() const;

 private:
  friend class CResourceSea;
  std::unique_lock<std::mutex> Guard() const;
  // Caller holds Guard().
  void SetPartLocked(std::wstring text, std::size_t index);

  CResourceSea* m_owner;
  std::wstring m_name;
  std::vector<std::wstring> m_parts;
};
