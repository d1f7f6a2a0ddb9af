#pragma once
// The CAN log formats canhost reads and writes, how a file's format is told, and how the formats'
// channel names map onto each other.
//
// A log is read as the format its content shows where the content has a mark of its own, else as
// its name's extension says, else as its text looks:
//   file starts with "LOGG"                 -> BLF (whatever the name)
//   drive.blf without "LOGG"                -> error "not a BLF file"
//   drive.trc                               -> TRC
//   first non-blank line starts with ";"    -> TRC (";$FILEVERSION=2.1", ";####...")
//   anything else                           -> candump or ASC, told apart line by line
// A log is written as its name's extension says: .log candump, .asc ASC, .blf BLF, .trc TRC (any
// case); any other name is written as candump.
//
// Channels: candump names interfaces ("can0", counted from 0); ASC, BLF and TRC number channels
// from 1 and are read as that number ("1"). Written into a numbering format, a name becomes:
//   "1" -> 1, "12" -> 12        a number stays
//   "can0" -> 1, "vcan3" -> 4   an interface's trailing number counts from 0
//   "can", "" -> 1              no number: channel 1
// and written into candump:
//   "1" -> can0, "3" -> can2    a number counts from 1
//   "0" -> 0, "can1" -> can1    anything else stays as it is
// so that can0 -> 1 -> can0 and 1 -> can0 -> 1 round-trip, as python-can converts them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace XeCanDriverKvaser {

enum class CanLogFormat : std::uint8_t {
  Candump,  // candump -L lines; read together with ASC lines (see CanLogReader.h)
  Asc,      // Vector ASC
  Blf,      // binary logging format, zlib-compressed containers
  Trc,      // PEAK TRC, versions 1.0 to 2.1
};

// [any] "candump", "ASC", "BLF", "TRC".
std::string_view FormatName(CanLogFormat format) noexcept;

// [any] The format a file name's extension names; nullopt for another extension.
std::optional<CanLogFormat> FormatOfName(const std::filesystem::path& file);

// [any] The format a log is read as, from its name and its first bytes (up to a few KB; all of
// a shorter file): the rules above. Candump stands for candump and ASC lines alike.
CanLogFormat FormatOfContent(const std::filesystem::path& file, std::string_view head) noexcept;

// [any] The 1-based channel number a log channel name stands for (rules above), at most 65535.
std::uint32_t ChannelNumber(std::string_view name) noexcept;

// Room CandumpInterface needs for a renamed channel.
inline constexpr std::size_t kInterfaceCapacity = 16;
// [any] The candump interface of a log channel name (rules above); either `name` itself or text
// in `buffer`.
std::string_view CandumpInterface(std::string_view name,
                                  std::span<char, kInterfaceCapacity> buffer) noexcept;

}  // namespace XeCanDriverKvaser
