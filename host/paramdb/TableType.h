#pragma once
// Fixed-width text cells of the parameter database tables. Every cell holds at most kMaxChars
// characters and is always NUL-terminated; longer texts are cut, never overflow.
//   strcopy(cell, L"CAN_Channel_Zero_DBC_File", 200) -> cell = "CAN_Channel_Zero_DBC_File"
//   strcopy(cell, <250 x 'a'>, 200)                  -> cell = 200 x 'a'
//   strcopy(cell, L"abc", 2)                         -> cell = "ab"
//   strcopy(cell, nullptr, 200)                      -> cell = ""
#include <array>
#include <cstddef>
#include <string_view>

struct TableType {
  static constexpr std::size_t kMaxChars = 200;
  using Text = std::array<wchar_t, kMaxChars + 1>;

  // [any] Copies at most maxChars characters of src (null: none) into dest, which holds at least
  // maxChars + 1 characters, and terminates it. Returns dest.
  static wchar_t* strcopy(wchar_t* dest, const wchar_t* src, std::size_t maxChars) noexcept;
  // [any] The same into a cell; maxChars is capped at kMaxChars.
  static wchar_t* strcopy(Text& dest, const wchar_t* src,
                          std::size_t maxChars = kMaxChars) noexcept;
  // [any] The text of a cell.
  static std::wstring_view view(const Text& cell) noexcept;
};
