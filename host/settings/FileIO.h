#pragma once
// File helpers of the host: path resolution against the settings folder and whole-file reading and
// atomic writing for the host's own text files (seas, the managed side's medium).
#include <cstdint>
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

// Largest file the host reads whole: seas, the driver configuration, the sequencer's requests,
// the decoders' configuration and the parameter database are a few kB; beyond this a file is not
// one of them (a device, a log put in the wrong place) and is refused before it fills the memory.
inline constexpr std::uintmax_t kMaxSettingsFileBytes = std::uintmax_t{16} << 20;
// Largest DBC file read: the largest real ones are a few MB, and a file of nothing but broken
// statements takes about 25 times its size in memory while it is read.
inline constexpr std::uintmax_t kMaxDbcFileBytes = std::uintmax_t{32} << 20;

// [any] Whether `file` (symbolic links followed) is a regular file of at most `limit` bytes
// (0: any size) that can be read. False with one line in `error` that names the file and why:
//   a folder            -> "<file>: is a folder, not a file"
//   a FIFO or a device  -> "<file>: is a FIFO, not a regular file" / "... a character device ..."
//   too large           -> "<file>: 17179869184 bytes, more than the 16 MiB such a file may have"
//   absent              -> "<file>: cannot open: No such file or directory"
// Checking before opening matters: opening a FIFO blocks until a writer comes, and a device such
// as /dev/zero never ends.
bool CheckInputFile(const std::filesystem::path& file, std::uintmax_t limit, std::string& error);

// [any] The bytes of a file, or nullopt with `error` set (an absent file included). Caller owns.
// Only a regular file of at most `limit` bytes is read (see CheckInputFile); a file that grows
// past the limit while it is read is refused too.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::wstring& error,
                                         std::uintmax_t limit = kMaxSettingsFileBytes);

// [any] What a chain of symbolic links at `path` leads to (at most 40 links, as the kernel
// follows), the target possibly absent; `path` itself when it is no link. Relative links are
// resolved against the folder of the link. A new path.
std::filesystem::path FollowLinks(const std::filesystem::path& path);

// [any] Replaces `file` with `bytes` atomically: a temporary file in the same folder is written,
// flushed to disk and renamed over `file`, so readers see the old or the new content, never a part.
// A symbolic link is followed: its target is replaced and the link stays. An existing file keeps
// its mode and owner; a new one gets 0644. The folder is created when missing. Temporaries of
// `file` that a killed writer left behind are removed first. A FIFO, device or folder at `file`
// is refused. False with `error` set on failure; `file` is then unchanged.
bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes,
                     std::wstring& error);

// [any] A name for a temporary next to `target` that marks its writer: target's name, the
// `kind`, this process's id and a serial ("Application.sea.tmp.4711.0").
std::filesystem::path TemporaryName(const std::filesystem::path& target, const char* kind);

// [any] Removes what writers killed in the middle left next to `target`: entries named like
// TemporaryName(target, kind) whose process no longer runs (folders with their content). Entries
// of running processes, this one included, are left alone.
void RemoveStaleTemporaries(const std::filesystem::path& target, const char* kind);

// [any] Whether `name` (a file name) is one that TemporaryName gives, of any kind and process.
bool IsTemporaryName(std::string_view name);

// [any] Removes, in `folder` (not below it), every temporary of any file or kind (names ending
// in ".<kind>.<pid>.<n>" for the kinds "tmp" and "seeding") whose process no longer runs.
void RemoveStaleTemporariesIn(const std::filesystem::path& folder);

}  // namespace FileIO
