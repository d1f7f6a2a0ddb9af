#include "host/cananalysis/CDbcSettingsModel.h"

#include "host/settings/SettingsResponder.h"

namespace XeCanAnalysis {

DbcSettingsResponder SetDbcSettingsResponder(DbcSettingsResponder responder) {
  return SettingsResponder<CDbcSettingsModel>::Set(std::move(responder));
}

DbcSettingsResponder CurrentDbcSettingsResponder() {
  return SettingsResponder<CDbcSettingsModel>::Current();
}

CDbcSettingsModel::CDbcSettingsModel(const CString& decoderName,
                                     std::shared_ptr<const DbcLoadedFile> file,
                                     DbcDecoderConfig config, std::vector<CAppSignal> appSignals)
    : m_name(decoderName),
      m_file(std::move(file)),
      m_config(std::move(config)),
      m_appSignals(std::move(appSignals)) {
  BuildRows();
}

bool CDbcSettingsModel::ChooseFile(const CString& path) {
  std::string error;
  auto file = DbcLoadedFile::Load(path, error);
  if (!file) {
    m_error = CString::FromUtf8(error);
    return false;
  }
  // Statements in error are left out of a file; signals gone missing that way would be assigned
  // to nothing without a word, so such a file is not taken.
  if (const std::size_t errors = file->database.ErrorCount()) {
    for (const DbcDiagnostic& d : file->database.diagnostics)
      if (d.severity == DbcSeverity::Error) {
        error = FormatDbcDiagnostic(file->path.string(), d);
        break;
      }
    if (errors > 1) error += " (and " + std::to_string(errors - 1) + " more errors)";
    m_error = CString::FromUtf8(error);
    return false;
  }
  m_error.Empty();
  m_file = std::move(file);
  m_config.dbcFile = path;
  BuildRows();
  return true;
}

std::vector<std::string> CDbcSettingsModel::Diagnostics() const {
  return m_file ? m_file->Diagnostics() : std::vector<std::string>{};
}

bool CDbcSettingsModel::Assign(std::size_t row, int appSignal) {
  if (row >= m_rows.size() || appSignal < -1) return false;
  if (appSignal >= 0 && !m_appSignals.empty()) {
    bool known = false;
    for (const auto& a : m_appSignals)
      known |= a.m_number == appSignal;
    if (!known) return false;
  }
  m_config.assignments[{m_rows[row].messageId, m_rows[row].signal.ToUtf8()}] = appSignal;
  BuildRows();
  return true;
}

bool CDbcSettingsModel::Assign(std::uint32_t messageId, const CString& signal, int appSignal) {
  for (std::size_t i = 0; i < m_rows.size(); ++i)
    if (m_rows[i].messageId == messageId && m_rows[i].signal == signal) return Assign(i, appSignal);
  return false;
}

void CDbcSettingsModel::BuildRows() {
  m_rows.clear();
  if (!m_file) return;
  const DbcDatabase& db = m_file->database;
  const std::vector<int> numbers = m_config.ApplicationNumbers(db);
  for (const DbcMessage& m : db.messages)
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      const DbcSignal& s = m.signals[i];
      Row row;
      row.messageId = m.CanId();
      row.messageName = CString::FromUtf8(m.name);
      row.signal = CString::FromUtf8(s.name);
      row.unit = CString::FromUtf8(s.unit);
      row.appSignal = numbers[m.firstSignal + i];
      row.factor = s.factor;
      row.offset = s.offset;
      row.multiplexor = s.isSwitch;
      if (s.muxParent >= 0) {
        row.multiplexedBy =
            CString::FromUtf8(m.signals[static_cast<std::size_t>(s.muxParent)].name);
        row.muxValues = s.muxRanges;
      }
      m_rows.push_back(std::move(row));
    }
}

}  // namespace XeCanAnalysis
