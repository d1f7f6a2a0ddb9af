#include "app/SignalCsvReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <string_view>

#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"

namespace app {
namespace {

constexpr const char* kHeader = "time,signal,value,unit";

// Splits one record with quotes into fields; false when a quote is still open at its end.
bool SplitQuoted(std::string_view record, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  bool quoted = false;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const char c = record[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < record.size() && record[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

// The fields of a record without quotes (the rows canhost writes), without copying.
void SplitPlain(std::string_view record, std::vector<std::string_view>& fields) {
  fields.clear();
  for (std::size_t start = 0;;) {
    const std::size_t comma = record.find(',', start);
    fields.push_back(record.substr(start, comma - start));
    if (comma == std::string_view::npos) return;
    start = comma + 1;
  }
}

// A number as canhost run writes it: shortest-exact, or nan, inf, -inf for a value that is not finite
// (`finite` false allows those).
bool ParseNumber(std::string_view text, double& value, bool finite = true) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && (!finite || std::isfinite(value));
}

// The series of a file by name, with the name of the last one used kept at hand: rows of one
// signal tend to come in runs.
class Series {
 public:
  // One record's error, or empty; adds its point.
  std::string Take(const std::vector<std::string_view>& fields) {
    if (fields.size() != 4)
      return std::to_string(fields.size()) + " fields where " + kHeader + " are 4";
    double time = 0.0;
    double value = 0.0;
    if (!ParseNumber(fields[0], time))
      return "time " + mfc::QuoteToken(fields[0]) + " is not a number";
    if (!ParseNumber(fields[2], value, false))
      return "value " + mfc::QuoteToken(fields[2]) + " is not a number";
    if (m_last == nullptr || m_last->name != fields[1]) {
      m_last = &m_byName[std::string(fields[1])];
      if (m_last->points.empty()) {
        m_last->name = fields[1];
        m_last->unit = fields[3];
      }
    }
    m_last->points.push_back({time, value});
    return {};
  }
  std::map<std::string, ui::PlotSeries>& byName() { return m_byName; }

 private:
  std::map<std::string, ui::PlotSeries> m_byName;
  ui::PlotSeries* m_last = nullptr;
};

// Reads lines of at most kMaxRecordBytes; a longer one is reported, not read into memory.
class LineReader {
 public:
  explicit LineReader(std::ifstream& in)
      : m_in(in), m_buffer(SignalCsvReader::kMaxRecordBytes + 1) {}
  // The next line without its line feed; false at the end. `whole` tells whether it ended in a
  // line feed, `tooLong` whether it was cut.
  bool Next(std::string_view& line, bool& whole, bool& tooLong) {
    m_in.getline(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    const auto got = static_cast<std::size_t>(m_in.gcount());
    if (got == 0 && !m_in) return false;
    tooLong = m_in.fail() && !m_in.eof();
    whole = !tooLong && !m_in.eof();
    line = std::string_view(m_buffer.data(), whole ? got - 1 : got);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_in.clear(m_in.rdstate() & ~std::ios::failbit);
    return true;
  }

 private:
  std::ifstream& m_in;
  std::vector<char> m_buffer;
};

}  // namespace

bool SignalCsvReader::Read(const std::filesystem::path& file, std::vector<ui::PlotSeries>& series,
                           std::string& error) {
  if (!FileIO::CheckInputFile(file, kMaxFileBytes, error)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file.string() + ": cannot be read";
    return false;
  }
  Series bySignal;
  LineReader lines(in);
  std::vector<std::string_view> fields;
  std::vector<std::string> quotedFields;
  std::string record;  // a record with quotes, gathered over its lines
  std::size_t recordLine = 0;
  bool open = false;  // a quoted field of `record` is still open
  std::size_t lineNo = 0;
  std::string_view line;
  bool whole = true;
  bool tooLong = false;
  while (lines.Next(line, whole, tooLong)) {
    const std::size_t at = ++lineNo;
    if (tooLong) {
      error = file.string() + ":" + std::to_string(at) + ": a line longer than " +
              std::to_string(kMaxRecordBytes) + " bytes: not a file of signals";
      return false;
    }
    const bool quotes = line.find('"') != std::string_view::npos;
    if (!open && !quotes) {
      recordLine = at;
      SplitPlain(line, fields);
    } else {
      // A quoted field may hold line breaks: the record goes on until its quotes close. Whether
      // one is open is the parity of the quotes seen (a doubled quote counts twice).
      if (!open) {
        record.clear();
        recordLine = at;
      } else {
        record += '\n';
      }
      record.append(line);
      open = (std::count(line.begin(), line.end(), '"') % 2 != 0) != open;
      if (open && record.size() > kMaxRecordBytes) {
        error = file.string() + ":" + std::to_string(recordLine) +
                ": a quoted field does not end within " + std::to_string(kMaxRecordBytes) +
                " bytes";
        return false;
      }
      if (open) continue;
      SplitQuoted(record, quotedFields);
      fields.assign(quotedFields.begin(), quotedFields.end());
    }
    const std::string where = file.string() + ":" + std::to_string(recordLine) + ": ";
    if (recordLine == 1) {
      if ((quotes ? std::string_view(record) : line) == kHeader) continue;
      error = where + "not a file of signals: the first line must be '" + kHeader + "'";
      return false;
    }
    if (const std::string why = bySignal.Take(fields); !why.empty()) {
      // The last line of a recording that was killed while it wrote may be cut: it is left out.
      if (!whole && recordLine == at) break;
      error = where + why;
      return false;
    }
  }
  if (open) {
    error = file.string() + ":" + std::to_string(recordLine) + ": a quoted field does not end";
    return false;
  }
  if (lineNo == 0) {
    error = file.string() + ": empty, not a file of signals";
    return false;
  }
  if (bySignal.byName().empty()) {
    error = file.string() + ": no values";
    return false;
  }
  series.clear();
  for (auto& [name, s] : bySignal.byName()) {
    std::stable_sort(
        s.points.begin(), s.points.end(),
        [](const ui::PlotPoint& a, const ui::PlotPoint& b) { return a.time < b.time; });
    series.push_back(std::move(s));
  }
  return true;
}

}  // namespace app
