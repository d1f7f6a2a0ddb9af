#include "host/cananalysis/CDbcDecoder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>

#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/cananalysis/DbcLexer.h"
#include "host/paramdb/SessionSignals.h"
#include "host/services/Host.h"
#include "host/settings/FileIO.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace XeCanAnalysis {
namespace {

// Whether unassigned signals get session application signals (canhost's choice for its run).
struct AssignChoice {
  std::atomic<bool> on{false};
};

// Why decoders did not load, by name.
struct Problems {
  std::mutex mutex;
  std::map<std::wstring, std::string> byName;
};

Problems& TheProblems() {
  return host::CurrentHost().Get<Problems>();
}

// The decoders alive, by name, for LoadedFile.
struct Live {
  host::Mutex mutex;
  std::map<std::wstring, const CDbcDecoder*> byName GUARDED_BY(mutex);
};

Live& TheLive() {
  return host::CurrentHost().Get<Live>();
}

// Session application signals for the signals of `database` that `numbers` leaves without one.
void AssignSessionSignals(const DbcDatabase& database, std::vector<int>& numbers) {
  const std::vector<std::string> names = CDbcDecoder::SignalNames(database);
  for (const DbcMessage& m : database.messages)
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      int& number = numbers[m.firstSignal + i];
      if (number >= 0) continue;
      number = SessionSignals::Instance().Number(CString::FromUtf8(names[m.firstSignal + i]),
                                                 CString::FromUtf8(m.signals[i].unit));
    }
}

}  // namespace

void CDbcDecoder::AssignUnassigned(bool on) noexcept {
  host::CurrentHost().Get<AssignChoice>().on.store(on);
}

bool CDbcDecoder::AssignsUnassigned() noexcept {
  return host::CurrentHost().Get<AssignChoice>().on.load();
}

CDbcDecoder::CDbcDecoder(const CString& name, ValueCallback callback)
    : m_name(name), m_callback(std::move(callback)), m_state(std::make_shared<State>()) {
  Live& live = TheLive();
  host::MutexLock lock(live.mutex);
  live.byName[m_name.GetString()] = this;
}

CDbcDecoder::~CDbcDecoder() {
  Live& live = TheLive();
  host::MutexLock lock(live.mutex);
  const auto it = live.byName.find(m_name.GetString());
  if (it != live.byName.end() && it->second == this) live.byName.erase(it);
}

std::vector<std::string> CDbcDecoder::SignalNames(const DbcDatabase& database) {
  std::map<std::string, int> uses;
  for (const DbcMessage& m : database.messages)
    for (const DbcSignal& s : m.signals)
      ++uses[s.name];
  std::vector<std::string> names(database.signalCount);
  for (const DbcMessage& m : database.messages)
    for (std::size_t i = 0; i < m.signals.size(); ++i)
      if (m.firstSignal + i < names.size())
        names[m.firstSignal + i] =
            uses[m.signals[i].name] > 1 ? m.name + "." + m.signals[i].name : m.signals[i].name;
  return names;
}

std::shared_ptr<const DbcLoadedFile> CDbcDecoder::LoadedFile(const CString& name) {
  Live& live = TheLive();
  host::MutexLock lock(live.mutex);
  const auto it = live.byName.find(name.GetString());
  return it == live.byName.end() ? nullptr : it->second->Current()->file;
}

std::vector<std::pair<CString, std::string>> CDbcDecoder::LoadProblems() {
  Problems& problems = TheProblems();
  std::lock_guard lock(problems.mutex);
  std::vector<std::pair<CString, std::string>> out;
  for (const auto& [name, text] : problems.byName)
    out.emplace_back(CString(name), text);
  return out;
}

void CDbcDecoder::SetProblem(std::string text) const {
  Problems& problems = TheProblems();
  std::lock_guard lock(problems.mutex);
  if (text.empty())
    problems.byName.erase(m_name.str());
  else
    problems.byName[m_name.str()] = std::move(text);
}

bool CDbcDecoder::Create() {
  bool ok = true;
  std::string problem;
  const std::filesystem::path path = DbcDecoderConfig::PathFor(m_name);
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    std::wstring error;
    const auto text = FileIO::ReadWholeFile(path, error);
    if (!text) {
      Log("Create", mfc::NarrowUtf8(error), PrWin::kStyleError);
      problem = mfc::NarrowUtf8(error);
      m_configHadErrors = true;
      ok = false;
    } else {
      std::vector<std::string> errors;
      m_config = DbcDecoderConfig::Parse(*text, path.string(), errors);
      for (std::size_t i = 0; i < errors.size() && i < kLoggedDiagnostics; ++i)
        Log("Create", errors[i], PrWin::kStyleError);
      if (errors.size() > kLoggedDiagnostics)
        Log("Create",
            path.string() + ": " + std::to_string(errors.size() - kLoggedDiagnostics) +
                " more lines in error",
            PrWin::kStyleError);
      if (!errors.empty()) {
        problem =
            errors.front() +
            (errors.size() > 1 ? " (and " + std::to_string(errors.size() - 1) + " more)" : "");
        m_configHadErrors = true;
        ok = false;
      }
    }
  }
  if (!m_config.dbcFile.IsEmpty()) {
    std::string error;
    auto file = DbcLoadedFile::Load(m_config.dbcFile, error);
    if (!file) {
      Log("Create", error, PrWin::kStyleError);
      SetProblem(error);
      return false;
    }
    LogDiagnostics(*file);
    const DbcDatabase& db = file->database;
    const auto first =
        std::find_if(db.diagnostics.begin(), db.diagnostics.end(),
                     [](const DbcDiagnostic& d) { return d.severity == DbcSeverity::Error; });
    if (first != db.diagnostics.end() && problem.empty())
      problem =
          FormatDbcDiagnostic(file->path.string(), *first) +
          (db.ErrorCount() > 1 ? " (and " + std::to_string(db.ErrorCount() - 1) + " more errors)"
                               : "");
    if (db.messages.empty() && problem.empty())
      problem = file->path.string() + ": no message (BO_) to decode";
    Install(std::move(file), m_config);
  }
  SetProblem(std::move(problem));
  return ok;
}

void CDbcDecoder::LogDiagnostics(const DbcLoadedFile& file) const {
  const DbcDatabase& db = file.database;
  for (std::size_t i = 0; i < db.diagnostics.size() && i < kLoggedDiagnostics; ++i) {
    const DbcDiagnostic& d = db.diagnostics[i];
    Log("Create", FormatDbcDiagnostic(file.path.string(), d),
        d.severity == DbcSeverity::Error ? PrWin::kStyleError : PrWin::kStyleWarning);
  }
  const std::size_t all = db.diagnostics.size() + db.Unlisted();
  if (all > kLoggedDiagnostics)
    Log("Create",
        file.path.string() + ": " + std::to_string(all - kLoggedDiagnostics) +
            " more errors and warnings (canhost dbc info " + file.path.string() + " lists them)",
        db.ErrorCount() > 0 ? PrWin::kStyleError : PrWin::kStyleWarning);
}

void CDbcDecoder::Decode(const XeCanDriverKvaser::CanMessage& message) noexcept {
  using namespace XeCanDriverKvaser;
  if (message.flags & (kCanFlagRemote | kCanFlagErrorFrame)) return;
  DecodeFrame(FlaggedId(message.id, message.flags), message.data, message.length,
              message.timestamp);
}

int CDbcDecoder::DecodeFrame(std::uint32_t canId, const std::uint8_t* data, int length,
                             std::uint32_t timestamp) noexcept {
  const std::shared_ptr<const State> state = Current();
  if (!state->file) return -1;
  const int frame = static_cast<int>(timestamp);
  const int* numbers = state->appNumbers.data();
  return state->file->decoder.Decode(canId, data, length, [&](std::uint32_t flat, double value) {
    if (m_callback) m_callback(static_cast<int>(flat), numbers[flat], value, frame);
  });
}

void CDbcDecoder::EnumSignals(const std::function<void(CDbcSignal&)>& callback) const {
  const std::shared_ptr<const State> state = Current();
  if (!state->file) return;
  for (const DbcMessage& m : state->file->database.messages)
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      CDbcSignal s;
      s.m_name = CString::FromUtf8(m.signals[i].name);
      s.m_appSignal = state->appNumbers[m.firstSignal + i];
      s.m_messageName = CString::FromUtf8(m.name);
      s.m_messageId = m.CanId();
      s.m_unit = CString::FromUtf8(m.signals[i].unit);
      s.m_index = static_cast<int>(m.firstSignal + i);
      callback(s);
    }
}

void CDbcDecoder::RegisterOnDecoderModification(std::function<void()> callback) {
  m_onModified = std::move(callback);
}

bool CDbcDecoder::SetFileName(const CString& path) {
  std::string error;
  auto file = DbcLoadedFile::Load(path, error);
  if (!file) {
    Log("SetFileName", error, PrWin::kStyleError);
    return false;
  }
  for (const auto& d : file->database.diagnostics)
    Log("SetFileName", FormatDbcDiagnostic(file->path.string(), d),
        d.severity == DbcSeverity::Error ? PrWin::kStyleError : PrWin::kStyleWarning);
  m_config.dbcFile = path;
  Install(std::move(file), m_config);
  StoreConfig("SetFileName");
  if (m_onModified) m_onModified();
  return true;
}

bool CDbcDecoder::GetFileName(CString& path) const {
  const auto state = Current();
  if (!state->file) return false;
  path = state->file->fileName;
  return true;
}

bool CDbcDecoder::GetDbcXmlContent(CString& content) const {
  const auto state = Current();
  if (!state->file) return false;
  content = CString::FromUtf8(DbcText(state->file->text));
  return true;
}

void CDbcDecoder::SetApplicationSignals(const CList<CAppSignal>& signals) {
  m_appSignals.clear();
  for (const CAppSignal& s : signals)
    m_appSignals.push_back(s);
}

void CDbcDecoder::CallSettingsDialog() {
  const DbcSettingsResponder responder = CurrentDbcSettingsResponder();
  if (!responder) {
    Log("CallSettingsDialog", "no settings dialog in this host, nothing changed",
        PrWin::kStyleWarning);
    return;
  }
  const std::shared_ptr<const State> before = Current();
  CDbcSettingsModel model(m_name, before->file, m_config, m_appSignals);
  if (!responder(model)) return;
  const std::string oldText = m_config.Format(m_name);
  m_config = model.Config();
  if (model.File() == before->file && m_config.Format(m_name) == oldText) return;
  Install(model.File(), m_config);
  StoreConfig("CallSettingsDialog");
  if (m_onModified) m_onModified();
}

std::vector<std::string> CDbcDecoder::Diagnostics() const {
  const auto state = Current();
  return state->file ? state->file->Diagnostics() : std::vector<std::string>{};
}

std::shared_ptr<const CDbcDecoder::State> CDbcDecoder::Current() const {
  host::MutexLock lock(m_mutex);
  return m_state;
}

void CDbcDecoder::Install(std::shared_ptr<const DbcLoadedFile> file,
                          const DbcDecoderConfig& config) {
  auto state = std::make_shared<State>();
  if (file) {
    state->appNumbers = config.ApplicationNumbers(file->database);
    if (AssignsUnassigned() || config.allSignals)
      AssignSessionSignals(file->database, state->appNumbers);
  }
  state->file = std::move(file);
  host::MutexLock lock(m_mutex);
  m_state = std::move(state);
}

bool CDbcDecoder::StoreConfig(const char* operation) {
  const std::filesystem::path path = DbcDecoderConfig::PathFor(m_name);
  std::error_code ec;
  if (m_configHadErrors && std::filesystem::exists(path, ec)) {
    // The stored file had lines this decoder could not read: keep it for the user to look at.
    std::filesystem::path aside = path;
    aside += ".bad";
    std::filesystem::rename(path, aside, ec);
    Log(operation, path.string() + " had errors; kept as " + aside.string(), PrWin::kStyleWarning);
  }
  m_configHadErrors = false;
  std::wstring error;
  if (!FileIO::WriteFileAtomic(path, m_config.Format(m_name), error)) {
    Log(operation, mfc::NarrowUtf8(error), PrWin::kStyleError);
    return false;
  }
  return true;
}

void CDbcDecoder::Log(const char* operation, const std::string& text, int style) const {
  const std::string line =
      std::string("CDbcDecoder::") + operation + "(): " + m_name.ToUtf8() + ": " + text + "\n";
  PrWin::Output(mfc::WidenUtf8(line).c_str(), PrWin::kCategoryError, style);
}

}  // namespace XeCanAnalysis
