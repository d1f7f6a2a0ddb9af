#pragma once
// File helpers of the host: path resolution against the settings folder and whole-file reading and
// atomic writing for the host's own text files (seas, the managed side's medium).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/mfc/CString.h"

namespace FileIO {

// [any] `path` if it is absolute, otherwise `base`/`path` with "." and ".." resolved lexically;
// an empty path gives `base`. Returns a new string (caller owns). Examples:
//   ("dbc/a.xml", "/s")     -> "/s/dbc/a.xml"
//   ("../b.xml", "/s/x")    -> "/s/b.xml"
//   ("/abs/c.xml", "/s")    -> "/abs/c.xml"
CString makePathAbsolute(const CString& path, const CString& base);

// [any] The bytes of a file, or nullopt with `error` set (an absent file included). Caller owns.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::wstring& error);

// [any] Replaces `file` with `bytes` atomically: a temporary file in the same folder is written,
// flushed to disk and renamed over `file`, so readers see the old or the new content, never a part.
// The folder is created when missing. Temporaries of `file` that a killed writer left behind are
// removed first. False with `error` set on failure; `file` is then unchanged.
bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes,
                     std::wstring& error);

// [any] A name for a temporary next to `target` that marks its writer: target's name, the
// `kind`, this process's id and a serial ("Application.sea.tmp.4711.0").
std::filesystem::path TemporaryName(const std::filesystem::path& target, const char* kind);

// [any] Removes what writers killed in the middle left next to `target`: entries named like
// TemporaryName(target, kind) whose process no longer runs (folders with their content). Entries
// of running processes, this one included, are left alone.
void RemoveStaleTemporaries(const std::filesystem::path& target, const char* kind);

}  // namespace FileIO
