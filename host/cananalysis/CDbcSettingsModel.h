#pragma once
// What the settings dialog of a DBC decoder shows and edits, without any window: the DBC file and
// the assignment of its signals to the application signals the decoder was given.
// CDbcDecoder::CallSettingsDialog hands this model to the installed responder (the host's window
// when a UI runs; tests act as the user through it) and applies it when the responder answers OK.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/cananalysis/CAppSignal.h"
#include "host/cananalysis/DbcDecoderConfig.h"
#include "host/cananalysis/DbcLoadedFile.h"

namespace XeCanAnalysis {

class CDbcSettingsModel {
 public:
  struct Row {
    std::uint32_t messageId = 0;  // bit 31 set for extended
    CString messageName;
    CString signal;
    CString unit;
    int appSignal = -1;   // in force: assignment, else the DBC attribute, else -1
    double factor = 1.0;  // physical = raw * factor + offset
    double offset = 0.0;
    bool multiplexor = false;            // a switch selecting other signals of its message
    CString multiplexedBy;               // the switch that selects it; empty: always present
    std::vector<DbcMuxRange> muxValues;  // raw values of that switch that select it
  };

  CDbcSettingsModel(const CString& decoderName, std::shared_ptr<const DbcLoadedFile> file,
                    DbcDecoderConfig config, std::vector<CAppSignal> appSignals);

  // [ui] The decoder whose settings these are.
  const CString& DecoderName() const noexcept { return m_name; }
  // [ui] The DBC file chosen (empty: none).
  const CString& FileName() const noexcept { return m_config.dbcFile; }
  // [ui] Chooses another DBC file: reads it and shows its signals with the assignments that name
  // them. False when it cannot be read or has errors (LastError says why, naming the file and,
  // for an error in it, the line); the model is then unchanged.
  bool ChooseFile(const CString& path);
  // [ui] Why the last ChooseFile failed.
  const CString& LastError() const noexcept { return m_error; }
  // [ui] Warnings and errors of the chosen file, "FILE:LINE:COLUMN: ...".
  std::vector<std::string> Diagnostics() const;

  // [ui] The signals of the chosen file, in file order (owned by the model).
  const std::vector<Row>& Signals() const noexcept { return m_rows; }
  // [ui] The application signals offered for assignment (owned by the model).
  const std::vector<CAppSignal>& ApplicationSignals() const noexcept { return m_appSignals; }
  // [ui] Assigns a signal (by row, or by message and name) to an application signal (-1: none).
  // False for an unknown signal, or a number not among the application signals given.
  bool Assign(std::size_t row, int appSignal);
  bool Assign(std::uint32_t messageId, const CString& signal, int appSignal);

  // [ui] The outcome, read by the decoder after OK: the file (shared) and the configuration.
  const std::shared_ptr<const DbcLoadedFile>& File() const noexcept { return m_file; }
  const DbcDecoderConfig& Config() const noexcept { return m_config; }

 private:
  void BuildRows();

  CString m_name;
  std::shared_ptr<const DbcLoadedFile> m_file;
  DbcDecoderConfig m_config;
  std::vector<CAppSignal> m_appSignals;
  std::vector<Row> m_rows;
  CString m_error;
};

// Plays the user of the settings dialog: edits the model and returns true for OK, false for
// Cancel. Called on the thread that calls CallSettingsDialog.
using DbcSettingsResponder = std::function<bool(CDbcSettingsModel&)>;
// [ui] Installs the responder (empty: none, the dialog then changes nothing); returns the
// previous one.
DbcSettingsResponder SetDbcSettingsResponder(DbcSettingsResponder responder);
// [any] A copy of the installed responder.
DbcSettingsResponder CurrentDbcSettingsResponder();

}  // namespace XeCanAnalysis
