#pragma once
// The categories and styles of the host log's lines (PrWin::Output). Sinks choose lines by
// category; the style says how grave a line is.
namespace PrWin {

// Errors and warnings: what the host shows its user by default.
inline constexpr int kCategoryError = 1;
// Traces of the modules, written when a module's log level allows.
inline constexpr int kCategoryTrace = 16;

inline constexpr int kStylePlain = 0;  // every line of the formatted Output
inline constexpr int kStyleWarning = 1;
inline constexpr int kStyleNotice = 2;  // message boxes
inline constexpr int kStyleError = 3;

}  // namespace PrWin
