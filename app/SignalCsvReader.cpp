#include "app/SignalCsvReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>

#include "host/mfc/Text.h"

namespace app {
namespace {

constexpr const char* kHeader = "time,signal,value,unit";

// Splits one record into fields; false when a quote is still open at its end.
bool SplitRecord(const std::string& record, std::vector<std::string>& fields) {
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

// A number as canhost run writes it: "%.17g", or nan, inf, -inf for a value that is not finite
// (`finite` false allows those).
bool ParseNumber(const std::string& text, double& value, bool finite = true) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && (!finite || std::isfinite(value));
}

// One record's error, or empty; adds its point to `byName`.
std::string TakeRecord(const std::vector<std::string>& fields,
                       std::map<std::string, ui::PlotSeries>& byName) {
  if (fields.size() != 4)
    return std::to_string(fields.size()) + " fields where " + kHeader + " are 4";
  double time = 0.0;
  double value = 0.0;
  if (!ParseNumber(fields[0], time))
    return "time " + mfc::QuoteToken(fields[0]) + " is not a number";
  if (!ParseNumber(fields[2], value, false))
    return "value " + mfc::QuoteToken(fields[2]) + " is not a number";
  ui::PlotSeries& series = byName[fields[1]];
  if (series.points.empty()) {
    series.name = fields[1];
    series.unit = fields[3];
  }
  series.points.push_back({time, value});
  return {};
}

}  // namespace

bool SignalCsvReader::Read(const std::filesystem::path& file, std::vector<ui::PlotSeries>& series,
                           std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = file.string() + ": a folder, not a file of signals";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file.string() + ": cannot be read";
    return false;
  }
  std::map<std::string, ui::PlotSeries> byName;
  std::vector<std::string> fields;
  std::string line;
  std::size_t lineNo = 0;
  while (std::getline(in, line)) {
    const std::size_t first = ++lineNo;
    std::string record = line;
    // A quoted field may hold line breaks: the record goes on until its quotes close.
    while (!SplitRecord(record, fields) && std::getline(in, line)) {
      record += '\n' + line;
      ++lineNo;
    }
    if (!record.empty() && record.back() == '\r') record.pop_back();
    const std::string where = file.string() + ":" + std::to_string(first) + ": ";
    if (first == 1) {
      if (record == kHeader) continue;
      error = where + "not a file of signals: the first line must be '" + kHeader + "'";
      return false;
    }
    if (!SplitRecord(record, fields)) {
      error = where + "a quoted field does not end";
      return false;
    }
    if (const std::string why = TakeRecord(fields, byName); !why.empty()) {
      error = where + why;
      return false;
    }
  }
  if (lineNo == 0) {
    error = file.string() + ": empty, not a file of signals";
    return false;
  }
  if (byName.empty()) {
    error = file.string() + ": no values";
    return false;
  }
  series.clear();
  for (auto& [name, s] : byName) {
    std::stable_sort(
        s.points.begin(), s.points.end(),
        [](const ui::PlotPoint& a, const ui::PlotPoint& b) { return a.time < b.time; });
    series.push_back(std::move(s));
  }
  return true;
}

}  // namespace app
