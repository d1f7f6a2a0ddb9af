#pragma once
// CSV output of canhost (RFC 4180): fields joined by commas, lines ending in "\n"; a field that
// holds a comma, a double quote, CR or LF is put in double quotes, its quotes doubled. Every write
// is checked: a full disk or a reader that went away (a closed pipe) ends the output with the
// reason, which the command reports before it exits 1.
//
//   Field("Speed")        -> Speed
//   Field("a,b")          -> "a,b"
//   Field("say \"hi\"")   -> "say ""hi"""
//   Field("two\nlines")   -> "two<LF>lines"
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace app {

class CsvWriter {
 public:
  // [ui] Writes to `out` (not owned; stdout for the commands). A write to a closed pipe fails with
  // EPIPE from here on instead of ending the process with SIGPIPE.
  explicit CsvWriter(std::FILE* out);

  // [any] The field as it stands in a line. A new string.
  static std::string Field(std::string_view text);
  // [ui] One line of already formatted fields (Field() them first); false once a write failed.
  bool Line(std::initializer_list<std::string_view> fields);
  // [ui] Flushes; false when any write failed. error() says why.
  bool Finish();
  bool ok() const noexcept { return m_error.empty(); }
  // [any] "cannot write the output: <reason>", or empty.
  const std::string& error() const noexcept { return m_error; }

 private:
  void Failed(int err);

  std::FILE* m_out;
  std::string m_line;
  std::string m_error;
};

}  // namespace app
