#pragma once
// The host's DBC decoder: decodes CAN messages with a DBC file into values of application
// signals. Its configuration (the DBC file and which DBC signal delivers which application
// signal, see DbcDecoderConfig.h) is kept per decoder name in the settings folder and changed
// through SetFileName and the settings dialog; every change is reported through the modification
// callback. Decoding is allocation-free and runs on the processing thread while the UI thread may
// swap the file: each frame is decoded with the file in force when it started.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/cananalysis/CAppSignal.h"
#include "host/cananalysis/CDbcSignal.h"
#include "host/cananalysis/DbcDecoderConfig.h"
#include "host/cananalysis/DbcLoadedFile.h"
#include "host/candriver/CanMessage.h"
#include "host/mfc/CList.h"
#include "host/mfc/CString.h"
#include "host/mfc/ThreadSafety.h"

namespace XeCanAnalysis {

class CDbcDecoder {
 public:
  // (signal index of EnumSignals, application signal number or -1, physical value, frame): the
  // frame is the timestamp of the decoded message.
  using ValueCallback = std::function<void(int, int, double, int)>;

  // [ui] A decoder named `name` (its configuration file is named after it); nothing is read
  // before Create.
  CDbcDecoder(const CString& name, ValueCallback callback);
  ~CDbcDecoder();
  CDbcDecoder(const CDbcDecoder&) = delete;
  CDbcDecoder& operator=(const CDbcDecoder&) = delete;

  // [ui] Reads the stored configuration and its DBC file. False when the configuration file has
  // errors (reported by file and line, the rest used) or its DBC file cannot be read.
  bool Create();
  // [processing] Decodes one message: the value callback runs for every decoded signal before the
  // call returns; the message's timestamp comes back as the frame. Messages the file does not
  // know, remote requests and error frames are ignored.
  void Decode(const XeCanDriverKvaser::CanMessage& message) noexcept;
  // [processing] The same from the parts of a message (canId: bit 31 for extended). Returns the
  // number of values reported, -1 for an unknown identifier or when no file is loaded.
  int DecodeFrame(std::uint32_t canId, const std::uint8_t* data, int length,
                  std::uint32_t timestamp) noexcept;

  // [ui] Calls `callback` once per signal of the DBC file, in file order.
  void EnumSignals(const std::function<void(CDbcSignal&)>& callback) const;
  // [ui] Called after each change of the configuration (replaces an earlier callback).
  void RegisterOnDecoderModification(std::function<void()> callback);

  // [ui] Loads the DBC file (relative names resolve in the settings folder), makes it the
  // configured file and stores the configuration. False, nothing changed, when it cannot be read.
  bool SetFileName(const CString& path);
  // [ui] The file in use, as it was given. False when none is loaded.
  bool GetFileName(CString& path) const;
  // [ui] The text of the DBC file in use. False when none is loaded.
  bool GetDbcXmlContent(CString& content) const;
  // [ui] The application signals the settings dialog offers for assignment (copied).
  void SetApplicationSignals(const CList<CAppSignal>& signals);
  // [ui] Runs the settings dialog (see CDbcSettingsModel.h); on OK applies and stores the result
  // and reports the modification. Returns when the dialog is closed.
  void CallSettingsDialog();

  // [ui] Process-wide: whether a DBC signal that no application signal is assigned to gets a
  // session application signal of its own (SessionSignals.h), named after it ("MESSAGE.SIGNAL"
  // when the file has two signals of that name) with its unit. Takes effect at the next load.
  static void AssignUnassigned(bool on) noexcept;
  static bool AssignsUnassigned() noexcept;
  // [any] The names those session signals get, by flat signal number of `database`.
  static std::vector<std::string> SignalNames(const DbcDatabase& database);
  // [any] The DBC file in use by the decoder named `name` (shared, never changed); null when no
  // such decoder exists or it has no file loaded.
  static std::shared_ptr<const DbcLoadedFile> LoadedFile(const CString& name);

  // [any] Process-wide: why decoders did not load at their last Create, one line each, by
  // decoder name: a configuration or DBC file that cannot be read, a DBC file with errors (what
  // parsed is used) or without any message. A decoder whose Create loads well is not listed.
  static std::vector<std::pair<CString, std::string>> LoadProblems();

  // At most this many diagnostics of a DBC file are logged by Create; one more line counts the
  // rest (canhost dbc info lists them).
  static constexpr std::size_t kLoggedDiagnostics = 10;

  // [any] The decoder's name.
  const CString& GetName() const noexcept { return m_name; }
  // [ui] Warnings and errors of the DBC file in use, "FILE:LINE:COLUMN: ...".
  std::vector<std::string> Diagnostics() const;

 private:
  struct State {
    std::shared_ptr<const DbcLoadedFile> file;
    std::vector<int> appNumbers;  // by flat signal number
  };
  std::shared_ptr<const State> Current() const;
  void Install(std::shared_ptr<const DbcLoadedFile> file, const DbcDecoderConfig& config);
  bool StoreConfig(const char* operation);
  void Log(const char* operation, const std::string& text, int style) const;
  void LogDiagnostics(const DbcLoadedFile& file) const;
  // Records (or with an empty text forgets) why this decoder did not load.
  void SetProblem(std::string text) const;

  CString m_name;
  ValueCallback m_callback;
  std::function<void()> m_onModified;
  DbcDecoderConfig m_config;
  bool m_configHadErrors = false;  // keep the file aside before writing over it
  std::vector<CAppSignal> m_appSignals;
  mutable host::Mutex m_mutex;
  std::shared_ptr<const State> m_state GUARDED_BY(m_mutex);
};

}  // namespace XeCanAnalysis
