#include "host/obd/CSequencerSettingsModel.h"

#include <algorithm>

#include "host/mfc/CString.h"
#include "host/mfc/Text.h"
#include "host/settings/FileIO.h"
#include "host/settings/SettingsResponder.h"

namespace XeCanAnalysis {
namespace {

std::string Join(const std::vector<std::string_view>& words, std::size_t from) {
  std::string out;
  for (std::size_t i = from; i < words.size(); ++i) {
    if (!out.empty()) out += ' ';
    out.append(words[i]);
  }
  return out;
}

// One request line of the file into its fields. Words after the identifier go to the payload up
// to the options; an option other than st= and bs= stays with the payload, where the check names
// it, so no word of the line is dropped.
CSequencerSettingsModel::Request RowOf(const std::vector<std::string_view>& words) {
  CSequencerSettingsModel::Request r;
  r.kind = std::string(words[0]);
  r.id = words.size() > 1 ? std::string(words[1]) : std::string();
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string_view w = words[i];
    std::string* target = &r.payload;
    if (w.starts_with("st=")) target = &r.separation;
    if (w.starts_with("bs=")) target = &r.blockSize;
    const std::string_view value = target == &r.payload ? w : w.substr(3);
    if (target == &r.payload && !target->empty()) *target += ' ';
    *target += value;
  }
  return r;
}

}  // namespace

SequencerSettingsResponder SetSequencerSettingsResponder(SequencerSettingsResponder responder) {
  return SettingsResponder<CSequencerSettingsModel>::Set(std::move(responder));
}

SequencerSettingsResponder CurrentSequencerSettingsResponder() {
  return SettingsResponder<CSequencerSettingsModel>::Current();
}

CSequencerSettingsModel::CSequencerSettingsModel(std::filesystem::path file)
    : m_file(std::move(file)) {
  std::wstring error;
  std::error_code ec;
  std::string text;
  if (!std::filesystem::exists(m_file, ec)) {
    text = SequencerSettings::Defaults().Text();
  } else if (auto read = FileIO::ReadWholeFile(m_file, error)) {
    text = std::move(*read);
  } else {
    m_readError = mfc::NarrowUtf8(error);
    return;
  }
  std::vector<std::string_view> words;
  for (std::string_view rest = text; !rest.empty();) {
    const auto nl = rest.find('\n');
    const std::string_view line = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view{} : rest.substr(nl + 1);
    mfc::SplitBlanks(mfc::TrimBlanks(line.substr(0, line.find('#'))), words);
    if (words.empty()) continue;
    if (words[0] == "timer")
      m_timer = Join(words, 1);
    else
      m_rows.push_back(RowOf(words));
  }
}

std::size_t CSequencerSettingsModel::Add(std::size_t row) {
  return Add(row, Request{});
}

std::size_t CSequencerSettingsModel::Add(std::size_t row, Request request) {
  row = std::min(row, m_rows.size());
  m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), std::move(request));
  return row;
}

bool CSequencerSettingsModel::Remove(std::size_t row) {
  if (row >= m_rows.size()) return false;
  m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
  return true;
}

bool CSequencerSettingsModel::Set(std::size_t row, Field field, std::string_view text) {
  if (row >= m_rows.size() || text.find_first_of("#\r\n") != std::string::npos) return false;
  Request& r = m_rows[row];
  std::string* const fields[] = {&r.kind, &r.id, &r.payload, &r.separation, &r.blockSize};
  if (field < Kind || field >= kFieldCount) return false;
  *fields[field] = std::string(mfc::TrimBlanks(text));
  return true;
}

std::string CSequencerSettingsModel::Lines() const {
  std::string text = "timer " + m_timer + "\n";
  for (const Request& r : m_rows) {
    text += r.kind + " " + r.id + " " + r.payload;
    if (!r.separation.empty()) text += " st=" + r.separation;
    if (!r.blockSize.empty()) text += " bs=" + r.blockSize;
    text += "\n";
  }
  return text;
}

std::vector<SequencerSettingsProblem> CSequencerSettingsModel::Problems() const {
  std::vector<SequencerSettingsProblem> problems = SequencerSettings::Parse(Lines()).problems;
  for (auto& p : problems)
    --p.line;  // the timer's line comes first
  return problems;
}

std::string CSequencerSettingsModel::Describe(const SequencerSettingsProblem& problem) {
  return (problem.line == 0 ? std::string("Timer") : "Line " + std::to_string(problem.line)) +
         ": " + problem.text;
}

bool CSequencerSettingsModel::Save(std::string& error) const {
  if (!m_readError.empty()) {
    error = m_readError + "; not written over";
    return false;
  }
  const auto problems = Problems();
  if (!problems.empty()) {
    error = Describe(problems.front());
    if (problems.size() > 1) error += " (and " + std::to_string(problems.size() - 1) + " more)";
    return false;
  }
  std::wstring werror;
  if (!FileIO::WriteFileAtomic(m_file, SequencerSettings::Parse(Lines()).Text(), werror)) {
    error = mfc::NarrowUtf8(werror);
    return false;
  }
  return true;
}

}  // namespace XeCanAnalysis
