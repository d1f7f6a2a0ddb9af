#pragma once
// Typed value parts of settings entries, through their raw text (CResourceEntry::EintragText and
// WertNeuSetzen). Text forms written:
//   int -1000 -> "-1000"     unsigned 10 -> "10"     int64 -5 -> "-5"     true -> "1"   false ->
//   "0"
// Reading extracts one number from the start of the text as a wide string stream does (leading
// blanks skipped, the rest ignored); a bool is read as a number, non-zero being true:
//   "12abc" -> 12    " 7" -> 7    "" -> 0    "abc" -> 0    missing part -> 0
//   bool: "1" -> true   "0" -> false   " 1" -> true   "2" -> true   missing part -> false
// ReadOrAppendDefault completes lines written by older versions: reading at index == count appends
// the default, so reading indices 4..7 in order extends ["a","1","0","0"] to
// ["a","1","0","0","-2","0","-1000","-1001"] with defaults -2, false, -1000, -1001, while a line of
// 3 parts keeps its length.
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "host/settings/CResourceEntry.h"
#include "host/settings/CResourceSea.h"

namespace can {

// Value kinds of the codec: bool and the 32-bit and 64-bit integers.
template <typename T>
concept EntryValue = std::same_as<T, bool> ||
    (std::integral<T> && sizeof(T) >= sizeof(std::int32_t) && !std::same_as<T, wchar_t> &&
     !std::same_as<T, char32_t>);

// [any] The text form of a value (see above).
template <EntryValue T>
std::wstring EntryValueText(T value) {
  if constexpr (std::same_as<T, bool>) {
    return value ? L"1" : L"0";
  } else {
    return std::to_wstring(value);
  }
}

// [any] Part `index` of `entry` as a T; 0 (false) when the part is missing or holds no number.
template <EntryValue T>
T ReadEntryValue(const CResourceEntry& entry, std::size_t index) {
  const wchar_t* text = entry.EintragText(index);
  if (!text) return T{};
  std::wistringstream in{std::wstring(text)};
  if constexpr (std::same_as<T, bool>) {
    long long number = 0;
    in >> number;
    return number != 0;
  } else {
    T value{};
    in >> value;
    return value;
  }
}

// [any] Part `index` of `entry` holds the text of `value` afterwards; index == count appends.
template <EntryValue T>
void WriteEntryValue(CResourceEntry& entry, T value, std::size_t index) {
  entry.WertNeuSetzen(EntryValueText(value), index);
}

// [any] Finds or creates the entry `name` of `sea` and writes `value` at part `index`.
template <EntryValue T>
lookup::result WriteNamedValue(CResourceSea& sea, const std::wstring& name, T value,
                               std::size_t index) {
  CResourceEntry* entry = nullptr;
  const lookup::result result = sea.LookupEntry(entry, CResourceSea::kLookupFindOrCreate, name, 0);
  WriteEntryValue(*entry, value, index);
  return result;
}

// [any] Part `index` of `entry`, completing the entry: no entry -> `fallback`; index < count ->
// the part; index == count -> `fallback`, appended to the entry; index > count -> `fallback`.
template <EntryValue T>
T ReadOrAppendDefault(CResourceEntry* entry, std::size_t index, T fallback) {
  if (!entry) return fallback;
  const std::uint64_t count = entry->GetValueCount();
  if (count > index) return ReadEntryValue<T>(*entry, index);
  if (count == index) WriteEntryValue(*entry, fallback, index);
  return fallback;
}

}  // namespace can
