#pragma once
// The text form of a sea: one UTF-8 file per sea in the settings folder, one record per line, so a
// diff shows exactly the entries and list lines that changed.
//
//   entry "NAME"                      named entry without value parts
//   entry "NAME" = "P0", "P1", ...    named entry and its value parts, in order
//   list "NAME"                       starts a list (possibly empty); the lines below belong to it
//   line "P0", "P1", ...              next line of the current list (`line` alone: no parts)
//   # ...                             comment; comments and blank lines are not kept on save
//
// A file the writer made starts with a header comment and ends with an end line:
//   # Sea "Application" of the host settings: UTF-8, ..., closed by its end line; ...
//   ...records...
//   # end of sea "Application"
// so that a file cut short (a copy that broke off, a disk that filled) is told from a whole one:
// a file whose first line starts as that header ('# Sea "') and that lacks its end line, or whose
// last line has no line feed, is refused where it ends. Files without the header (written by
// hand) need neither; files of earlier versions of the writer (a header without "closed by its
// end line") need only the line feed.
//
// Names and parts are always quoted. Inside quotes the text is UTF-8 verbatim except for the
// escapes \\ \" \n \r \t and \u{HEX} (1 to 8 hex digits) for the code points that would not survive
// an editor: other control characters, U+007F-U+009F, surrogates and values above U+10FFFF. Blanks
// and tabs around keywords, "=" and "," are ignored; outside quotes nothing else is allowed. The
// writer puts entries first, then lists, in their stored order, and ends each record with "\n".
//
// Examples (file line -> result):
//   entry "CanSource-Params" = "120"   -> entry CanSource-Params, parts [120]
//   entry "Empty"                      -> entry Empty, no parts
//   entry "E" = ""                     -> entry E, one empty part
//   entry "Grüße" = "  ü  "            -> entry Grüße, parts [  ü  ] (UTF-8 as is, blanks kept)
//   line "a,b", "say \"hi\""           -> list line, parts [a,b] [say "hi"]
//   line "C:\\dbc\\x.xml"              -> list line, parts [C:\dbc\x.xml]
//   line "two\nlines\tand\u{1}"       -> list line, parts [two<LF>lines<TAB>and<U+0001>]
//   list "X-0"  followed by no line    -> list X-0 exists and is empty
//   entry "A" = "open                  -> error at line 1, column 13: text not closed by '"'
//   line "x"  before any list          -> error at line 1, column 1: line outside a list
//   (writer's header) entry "A" = "1"  -> error at line 2, column 16: the file ends before its end
//     and no end line                     line: cut short
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Parsed content of one sea, in file order.
struct SeaContent {
  struct Entry {
    std::wstring name;                // any text, unique among the entries of the sea
    std::vector<std::wstring> parts;  // value parts, index 0 first
    bool operator==(const Entry&) const = default;
  };
  struct List {
    std::wstring name;                             // any text, unique among the lists of the sea
    std::vector<std::vector<std::wstring>> lines;  // value parts of each line, first line first
    bool operator==(const List&) const = default;
  };
  std::vector<Entry> entries;
  std::vector<List> lists;
  bool operator==(const SeaContent&) const = default;
};

// Why a file was refused.
struct SeaError {
  std::filesystem::path file;
  std::size_t line = 0;    // 1-based; 0 when the file as a whole could not be read
  std::size_t column = 0;  // 1-based byte column; 0 when unknown
  std::wstring what;
  // [any] "FILE:LINE:COLUMN: WHAT" (or "FILE: WHAT" without a line); a new string.
  std::wstring ToString() const;
};

class SeaFile {
 public:
  // [any] Parses the bytes of `file`. True with `content` filled, or false with `error` set.
  static bool Parse(std::string_view bytes, const std::filesystem::path& file, SeaContent& content,
                    SeaError& error);
  // [any] The file text of `content`, headed by a comment naming the sea. Returns a new string.
  static std::string Write(const SeaContent& content, std::wstring_view seaName);
  // [any] A quoted, escaped text as the writer puts it in a file (UTF-8).
  static std::string Quote(std::wstring_view text);
};

}  // namespace host
