#pragma once
// What the settings window of an OBD-II tester shows and edits, without any window: the timer
// period and the request list of its settings file (SequencerSettings.h), one row per request
// line, every field as the person typed it. Lines of the file that do not read stay in the list
// with their problem, so nothing of the file is lost; Save refuses while any row has a problem.
// CCanSequencer::ChangeSettings hands this model to the installed responder (the host's window
// when a UI runs; tests act as the user through it) and reloads the file after OK.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/obd/SequencerSettings.h"

namespace XeCanAnalysis {

class CSequencerSettingsModel {
 public:
  // The fields of a request row, in the window's column order.
  enum Field { Kind, Identifier, Payload, Separation, BlockSize, kFieldCount };

  struct Request {
    std::string kind = "regular";  // "regular" or "oneshot" (another word: a problem)
    std::string id = "7DF";        // hex
    std::string payload;           // hex bytes, blanks allowed
    std::string separation;        // st=, empty: 0
    std::string blockSize;         // bs=, empty: 0
  };

  // [ui] Reads `file`; a missing file gives the defaults of a new tester.
  explicit CSequencerSettingsModel(std::filesystem::path file);

  // [ui] The settings file.
  const std::filesystem::path& File() const noexcept { return m_file; }
  // [ui] Why the file could not be read (empty: it was, or it is missing).
  const std::string& ReadError() const noexcept { return m_readError; }

  // [ui] The timer period in ms, as text.
  const std::string& Timer() const noexcept { return m_timer; }
  void SetTimer(std::string ms) { m_timer = std::move(ms); }

  // [ui] The request rows (owned by the model).
  const std::vector<Request>& Requests() const noexcept { return m_rows; }
  // [ui] Adds a row at `row` (clamped to the end), a new request when none is given; returns its
  // index.
  std::size_t Add(std::size_t row);
  std::size_t Add(std::size_t row, Request request);
  // [ui] False for a row that does not exist.
  bool Remove(std::size_t row);
  // [ui] Sets one field of a row. False for a row that does not exist or a text that cannot stand
  // in a line of the file ('#' or a line break).
  bool Set(std::size_t row, Field field, std::string_view text);

  // [ui] The problems of the settings as they stand: `line` is the 1-based row, 0 the timer.
  std::vector<SequencerSettingsProblem> Problems() const;
  // [ui] A problem in words: "Line 3: identifier 800 is not an 11-bit hex identifier".
  static std::string Describe(const SequencerSettingsProblem& problem);
  // [ui] Writes the file atomically. False with `error` when a row has a problem (the first, in
  // words), the file could not be read, or the write failed.
  bool Save(std::string& error) const;

 private:
  // The settings in the file's syntax: the timer on line 1, row k on line k + 1.
  std::string Lines() const;

  std::filesystem::path m_file;
  std::string m_readError;
  std::string m_timer = "10";
  std::vector<Request> m_rows;
};

// Plays the user of the settings window: edits the model and returns true for OK, false for
// Cancel. Called on the thread that calls ChangeSettings.
using SequencerSettingsResponder = std::function<bool(CSequencerSettingsModel&)>;
// [ui] Installs the responder (empty: none; ChangeSettings then only reloads the file); returns
// the previous one.
SequencerSettingsResponder SetSequencerSettingsResponder(SequencerSettingsResponder responder);
// [any] A copy of the installed responder.
SequencerSettingsResponder CurrentSequencerSettingsResponder();

}  // namespace XeCanAnalysis
