#pragma once
// What a field for an integer admits while a person types: nothing yet, a lone minus sign when the
// range has negative numbers, or a decimal integer inside the range. Each step of typing a value
// of the range passes (the ranges the dialogs use reach from 0 or below to 0 or above), so a key
// that would leave the field in none of these states is refused, as the view's validator does.
//   {0, 255}:       "" "7" "25" "255" pass;  "256" "-1" "-" "7F" " 7" fail
//   {INT_MIN, ...}: "-" "-24" pass;           "--" "1-" fail
#include <climits>

#include "host/mfc/CString.h"

namespace ui {

struct IntegerInput {
  int min = INT_MIN;
  int max = INT_MAX;

  // [any] Whether the field may hold `text` while it is typed.
  bool Admits(const CString& text) const noexcept;
  // [any] The value of a complete entry inside the range (the text of a finished field; blanks
  // around it are passed over): "255" -> 255; "", "-", "7FF", "300" for {0, 255} -> false.
  bool Parse(const CString& text, int& value) const noexcept;
};

}  // namespace ui
