#pragma once
// A DBC file read and prepared for decoding, shared read-only between a decoder, its settings
// model and the frames being decoded (the decoder swaps whole files, never changes one).
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/cananalysis/DbcDatabase.h"
#include "host/cananalysis/DbcFrameDecoder.h"
#include "host/mfc/CString.h"

namespace XeCanAnalysis {

struct DbcLoadedFile {
  CString fileName;            // as given
  std::filesystem::path path;  // the file read: relative names resolve in the settings folder
  std::string text;            // the file's bytes
  DbcDatabase database;
  DbcFrameDecoder decoder;

  // [ui] Reads and prepares a file. Null, with `error` = "FILE: reason", when it cannot be read;
  // a file with errors in it loads (its statements in error are left out).
  static std::shared_ptr<const DbcLoadedFile> Load(const CString& fileName, std::string& error);
  // [any] Every warning and error as "FILE:LINE:COLUMN: warning: text".
  std::vector<std::string> Diagnostics() const;
};

}  // namespace XeCanAnalysis
