#pragma once
// What the window of the CAN channels shows and edits, without any window: the driver
// configuration (candriver.conf, format in CanDriver.h) as a table of channels and a table of
// traffic generators, every field as the person typed it. Every other line of the file (comments,
// blank lines, lines the driver leaves out) is kept as written, and so is every line of a row
// nobody changed, byte for byte; a changed row's line is written anew in the file's format with
// its comment kept; a removed row's line goes; new rows follow the last line of their kind. So a
// hand-written file keeps working and keeps its comments. Save writes atomically and refuses
// while a row has a problem; the driver reads the file again at the next start of a measurement.
//
// File lines -> rows:
//   channel 1 virtual bus=body offset=8000 drift=-12.5  # ahead
//                      -> 1, Virtual, bus "body", offset "8000", drift "-12.5" (comment kept)
//   channel 2 replay file="my drive.log" interface=can1
//                      -> 2, Replay, file "my drive.log", interface "can1"
//   channel 3 socketcan interface=vcan0   -> 3, SocketCan, interface "vcan0"
//   generator body id=123,18FEF100 period=10ms length=4 fd=1
//                      -> bus "body", ids "123,18FEF100", period "10ms", length "4", fd "1"
//   channel 4 serial   -> no row: kept as written, in Ignored() with the driver's reason
// Changed or new rows -> lines:
//   5, Replay, file "logs/a b.asc", interface ""   -> channel 5 replay file="logs/a b.asc"
//   0, Virtual, bus "" or "default", offset "0"     -> channel 0 virtual
//   channel 1 above with drift "" -> channel 1 virtual bus=body offset=8000  # ahead
// Refused (Problems, shown on the row's field):
//   channel "256"           -> "channel '256' is not a number from 0 to 255"
//   Replay without a file   -> "a replay channel needs a log file: choose one with Browse..."
//   drift "1000.5"          -> "drift '1000.5' is not ppm from -1000 to 1000 with at most 3 decimals"
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/candriver/DriverConfig.h"

namespace XeCanDriverKvaser {

// What the first frames of a log tell about it.
struct LogScan {
  std::vector<std::string> interfaces;  // as the log names them ("can0"; ASC, BLF, TRC: "1"),
                                        // in the order they first appear
  bool fd = false;                      // a CAN FD frame was seen
  std::size_t frames = 0;               // frames read
  std::string error;                    // why the log cannot be read; empty: it can
};
// [any] Reads up to `maxFrames` frames of a log of any format (CanLogReader).
LogScan ScanLog(const std::filesystem::path& file, std::size_t maxFrames = 100000);

// [any] The Linux CAN interfaces the system has now (SocketCAN, /sys/class/net/*/type 280), sorted.
std::vector<std::string> SocketCanInterfaces();

class DriverConfigModel {
 public:
  enum class Backend { Virtual, Replay, SocketCan };
  // Fields of a channel row, in the window's column order.
  enum ChannelField { Number, BackendKind, Bus, File, Interface, Offset, Drift, kChannelFields };
  // Fields of a generator row, in the window's column order.
  enum GeneratorField { GenBus, Ids, Period, Phase, Length, Data, Fd, Brs, kGeneratorFields };

  struct Channel {
    std::string number;  // 0..255
    Backend backend = Backend::Virtual;
    std::string bus;        // Virtual: the bus name; empty: "default"
    std::string file;       // Replay: the log, relative to the settings folder
    std::string interface;  // Replay: the log's interface (empty: all); SocketCan
    std::string offset;     // clock offset, 125 us ticks; empty: 0
    std::string drift;      // clock drift, ppm; empty: 0
    bool operator==(const Channel&) const = default;
  };
  struct Generator {
    std::string bus = "default";  // the virtual bus it sends on
    std::string ids;              // hex, comma-separated
    std::string period = "10ms";
    std::string phase, length, data;  // empty: the driver's default
    std::string fd, brs;              // "1" on; empty or "0" off
    bool operator==(const Generator&) const = default;
  };
  struct Problem {
    enum class Table { Channels, Generators, File };
    Table table = Table::Channels;
    std::size_t row = 0;  // row of the table; File: the 1-based line of the file
    int field = -1;       // ChannelField or GeneratorField; -1: the row as a whole
    std::string reason;   // "channel '256' is not a number from 0 to 255"
  };

  // [ui] Reads `file` (the settings folder's candriver.conf). Without one, the driver's default:
  // channels 0 to 3 on the virtual bus "default".
  explicit DriverConfigModel(std::filesystem::path file);
  // [any] Reads `text` as the content of `file` (tests, fuzzing): the file is not read.
  DriverConfigModel(std::filesystem::path file, std::string_view text);

  const std::filesystem::path& Path() const noexcept { return m_file; }
  // Whether the file exists (false: the rows show the driver's default).
  bool Exists() const noexcept { return m_exists; }
  // Why the file could not be read (a FIFO, too large); Save then refuses to write over it.
  const std::string& ReadError() const noexcept { return m_readError; }

  // Backend names as the file writes them and as a person reads them.
  static std::string_view Word(Backend backend) noexcept;
  static std::string_view Label(Backend backend) noexcept;

  // [ui] The rows (owned by the model).
  const std::vector<Channel>& Channels() const noexcept { return m_channels; }
  const std::vector<Generator>& Generators() const noexcept { return m_generators; }
  // [ui] A new row at the end: the lowest channel no row or kept line uses, on the virtual bus;
  // or the given one. Its index.
  std::size_t AddChannel();
  std::size_t AddChannel(Channel channel);
  // [ui] The lowest channel number no row, no kept line and none of `alsoUsed` names.
  int FreeChannel(const std::vector<int>& alsoUsed = {}) const;
  std::size_t AddGenerator(Generator generator);
  // [ui] False for a row that does not exist.
  bool RemoveChannel(std::size_t row);
  bool RemoveGenerator(std::size_t row);
  // [ui] Sets a field. False, and nothing changed, for a row that does not exist or a text no
  // line can hold (a double quote or a line break).
  bool SetChannel(std::size_t row, ChannelField field, std::string_view text);
  bool SetBackend(std::size_t row, Backend backend);
  bool SetGenerator(std::size_t row, GeneratorField field, std::string_view text);

  // [ui] Lines kept as written that the driver leaves out, with its reason ("Line 7: unknown
  // backend 'serial' ...").
  std::vector<std::string> Ignored() const;
  // [ui] Comment and blank lines kept as written.
  std::size_t CommentLines() const;
  // [ui] The problems of the rows as they stand, in row order; each refuses Save.
  std::vector<Problem> Problems() const;
  // [ui] A problem in words: "Channel row 3: channel '256' is not a number from 0 to 255".
  static std::string Describe(const Problem& problem);
  // [ui] What the log of replay row `row` offers for its interface: "" (every interface), the
  // interfaces of the log's first frames, and the row's own; SocketCan rows: the system's
  // interfaces and the row's own.
  std::vector<std::string> InterfaceChoices(std::size_t row) const;
  // [ui] What deserves a look but does not refuse Save: a generator on a bus no channel is on, a
  // SocketCAN interface the system does not have now, a replay interface the log's first frames
  // do not name.
  std::vector<std::string> Warnings() const;
  // [ui] A file as a replay row names it: relative to the settings folder when inside it.
  std::string RelativeFile(const std::filesystem::path& chosen) const;
  // [ui] The log of a replay row as the driver opens it.
  std::filesystem::path ResolvedFile(const std::string& file) const;

  // [ui] The file as Save writes it.
  std::string Text() const;
  // [ui] Whether Text() differs from the file as read (or the file does not exist).
  bool Changed() const { return !m_exists || Text() != m_text; }
  // [ui] Writes the file atomically and takes it as read. False with `error` (the first problem,
  // in words; the file unreadable; the write failed); the file is then unchanged.
  bool Save(std::string& error);

 private:
  enum class Kind { Text, Channel, Generator };
  struct Line {
    Kind kind = Kind::Text;
    std::string text;     // as read, without its line feed (a CR stays)
    std::size_t comment;  // where its comment starts, npos: none
  };
  struct Slot {
    std::optional<std::size_t> line;  // the line it was read from; nullopt: a new row
    std::string original;             // its line as the model would write it, when read
  };

  void Read(std::string_view text);
  void ReadChannel(std::size_t line, const std::vector<std::string>& tokens);
  void ReadGenerator(std::size_t line, const std::vector<std::string>& tokens);
  static std::string Format(const Channel& c);
  static std::string Format(const Generator& g);
  // A row's line: as read when its format is unchanged, else written anew with its comment.
  std::string LineOf(const std::string& formatted, const Slot& slot) const;
  void CheckChannel(std::size_t row, std::vector<Problem>& problems) const;
  void CheckGenerator(std::size_t row, std::vector<Problem>& problems) const;
  void CheckAsDriver(std::vector<Problem>& problems) const;
  // The log's first frames, scanned once per version of the file.
  const LogScan& Scan(const std::string& file) const;
  // Where new rows go: after the last line of their kind (channels: else before the first
  // generator), else at the end.
  struct Landmarks {
    std::optional<std::size_t> lastChannel, lastGenerator, firstGenerator;
  };
  Landmarks FindLandmarks() const;
  // The text of the file, with the 1-based line of each row in it, in row order.
  std::string Build(std::vector<int>& channelLines, std::vector<int>& generatorLines) const;

  std::filesystem::path m_file;
  bool m_exists = false;
  std::string m_readError;
  std::string m_text;  // as read
  bool m_finalNewline = true;
  bool m_crlf = false;  // the file's lines end in CR LF: new lines do too
  std::vector<Line> m_lines;
  std::vector<Channel> m_channels;
  std::vector<Slot> m_channelSlots;  // parallel to m_channels
  std::vector<Generator> m_generators;
  std::vector<Slot> m_generatorSlots;
  std::vector<detail::ConfigProblem> m_ignored;  // the driver's word on the lines kept as written
  // Logs scanned for their interfaces, by path, with the size and time of the file scanned.
  struct Scanned {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time;
    LogScan scan;
  };
  mutable std::map<std::filesystem::path, Scanned> m_scans;
};

// Plays the person at the window of the CAN channels: edits the model, saves it with Apply or OK,
// and returns whether it saved. Called on the [ui] thread by ShowChannelSettings.
using ChannelSettingsResponder = std::function<bool(DriverConfigModel&)>;
// [ui] Installs the responder (empty: none); returns the previous one.
ChannelSettingsResponder SetChannelSettingsResponder(ChannelSettingsResponder responder);
// [ui] Opens the window of the CAN channels on the settings folder's candriver.conf and returns
// once it is closed: true when it saved the file (the driver takes it up at the next start).
// Without a window (no responder installed) nothing changes: false, logged.
bool ShowChannelSettings();

}  // namespace XeCanDriverKvaser
