#include "host/cananalysis/DbcLoadedFile.h"

#include "host/cananalysis/DbcParser.h"
#include "host/settings/FileIO.h"
#include "host/settings/SettingsFolder.h"

namespace XeCanAnalysis {

std::shared_ptr<const DbcLoadedFile> DbcLoadedFile::Load(const CString& fileName,
                                                         std::string& error) {
  if (fileName.IsEmpty()) {
    error = "no DBC file given";
    return nullptr;
  }
  auto file = std::make_shared<DbcLoadedFile>();
  file->fileName = fileName;
  const CString base = CString::FromUtf8(host::SettingsFolder().string());
  file->path = std::filesystem::path(FileIO::makePathAbsolute(fileName, base).ToUtf8());
  if (!DbcParser::ParseFile(file->path, file->database, error, &file->text)) return nullptr;
  file->decoder = DbcFrameDecoder(file->database);
  return file;
}

std::vector<std::string> DbcLoadedFile::Diagnostics() const {
  std::vector<std::string> out;
  out.reserve(database.diagnostics.size());
  for (const auto& d : database.diagnostics)
    out.push_back(FormatDbcDiagnostic(path.string(), d));
  return out;
}

}  // namespace XeCanAnalysis
