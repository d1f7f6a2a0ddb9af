#pragma once
// The options of "canhost run" and how the command line gives them.
//
// Arguments -> options:
//   (none)                                  -> 5 s in real time, settings folder of the host
//   --seconds 3 --fast                      -> 3 s of host time, as fast as the data allows
//   --replay drive.log --channel 1          -> drive.log on channel 1, until the log ends
//   --replay drive.log --seconds 2          -> drive.log on channel 0, for 2 s
//   --sample-period 0.0005 --samples-per-frame 200 -> slow samples of 0.5 ms, frames of 0.1 s
//   --seconds 0                             -> error "--seconds: '0' is not a positive number"
//   --seconds 1e300                         -> error "--seconds: '1e300' is longer than a year
//                                              (31622400 s)"
//   --channel 1                             -> error "--channel needs --replay"
//   --capture                               -> error "--capture needs a value"
//   --samples-per-frame 2.5                 -> error "--samples-per-frame: '2.5' is not a whole
//                                              number from 1 to 100000"
//   --frobnicate                            -> error "unknown option '--frobnicate'"
//   --dbc 1=body.dbc --dbc 0=engine.dbc     -> channel 1 decodes with body.dbc, 0 with engine.dbc
//   --dbc 256=a.dbc                         -> error "--dbc: '256=a.dbc' is not CHANNEL=FILE with a
//                                              channel from 0 to 255"
//   --dbc 0=missing.dbc                     -> error "--dbc: missing.dbc: no such file"
//   --plot run.png --size 800x450           -> the decoded signals drawn into run.png, 800 x 450
//   --size 80x45                            -> error "--size: '80x45' is not WIDTHxHEIGHT from
//                                              200x150 to 10000x10000"
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace app {

// The usage of "canhost run" (printed by "canhost help run" and after a bad argument).
inline constexpr char kRunUsage[] =
    "usage: canhost run [--settings DIR] [--seconds S] [--fast] [--replay FILE [--channel N]]\n"
    "                   [--sample-period SEC] [--samples-per-frame N] [--capture FILE] [--quiet]\n"
    "                   [--plugin PATH] [--dbc CH=FILE ...] [--all-signals] [--signals FILE]\n"
    "                   [--plot FILE.png [--size WxH]]\n"
    "  Runs a measurement: loads the CAN plug-in, creates \"CCanSourceModule\" from the settings\n"
    "  folder and drives it frame by frame as the host does, then prints per channel what was\n"
    "  received, delivered, dropped (old, no room, future, overflow) and still waiting, and per\n"
    "  decoded signal its values. A new or empty settings folder is first filled with the\n"
    "  default: an OBD-II sequencer on virtual channel 0 polling the vehicle simulation on\n"
    "  channel 1, decoded with obd2.dbc, and a standard source on channel 2 hearing traffic\n"
    "  generators. The settings are written back at the end. Ctrl-C, SIGTERM or SIGHUP stop the\n"
    "  measurement after its frame, complete the files, save and print the summary; a second\n"
    "  signal ends at once. One canhost at a time may use a settings folder.\n"
    "  --settings DIR         settings folder (default: $CANHOST_SETTINGS, else\n"
    "                         $HOME/.config/canhost)\n"
    "  --seconds S            length of the measurement in seconds (default: 5; with --replay:\n"
    "                         until the log ends)\n"
    "  --fast                 step the host clock as fast as the data allows instead of real\n"
    "                         time; nothing is lost and the run is repeatable\n"
    "  --replay FILE          replay a log (candump -L, Vector ASC, BLF or PEAK TRC) on one\n"
    "                         channel, in place of that channel's configured backend; every\n"
    "                         frame plays, those logged closer than the bus carries them as soon\n"
    "                         as the wire is free\n"
    "  --channel N            channel of the replay, 0..255 (default: 0); a source of the\n"
    "                         settings must use it\n"
    "  --sample-period SEC    seconds per slow sample (default: 0.001)\n"
    "  --samples-per-frame N  slow samples per frame (default: 100); a frame lasts from 1 ms to\n"
    "                         2 s\n"
    "  --capture FILE         write the frame-aligned CAN stream as a log of the format FILE's\n"
    "                         extension names (.log candump, .asc, .blf, .trc; other names:\n"
    "                         candump): each message at its frame's start + slow-sample index\n"
    "                         x sample period, in seconds from the start of the measurement\n"
    "  --quiet                no progress bar on stderr (it is shown only on a terminal)\n"
    "  --dbc CH=FILE          decode bus channel CH (0..255) with the DBC file FILE; stored in "
    "the\n"
    "                         settings as the \"CAN Decoding\" choice of that channel "
    "(repeatable)\n"
    "  --all-signals          DBC signals without an application signal get one of their own,\n"
    "                         named after the DBC signal, with its unit\n"
    "  --signals FILE         write the decoded signals as CSV: time,signal,value,unit, one row "
    "per\n"
    "                         value as decoded (rates per minute for pulse signals; nan, inf),\n"
    "                         at its slow sample, time as for --capture\n"
    "  --plot FILE.png        draw the decoded signals of the run into a PNG picture: one panel\n"
    "                         per signal (per unit beyond 8), time in seconds; no display needed\n"
    "  --size WxH             size of the --plot picture in pixels (default: 1600x900)\n"
    "  --plugin PATH          plug-in library (default: ../lib/libcanplugin.so next to canhost,\n"
    "                         or $CANHOST_PLUGIN)\n"
    "  --capture and --signals are written as the frames end, into what FILE names ('-' and\n"
    "  /dev/stdout: standard output, the summary then on stderr; a FIFO, a device, a link's\n"
    "  target; an existing file is emptied when the measurement starts, keeping its mode).\n"
    "  Exit codes: 0 done, 1 runtime error or a request not met (a channel that did not open,\n"
    "  a DBC file that did not load; one line each), 2 bad arguments (also one file named by two\n"
    "  outputs), 128 + N stopped by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP).\n";

class RunOptions {
 public:
  // Measurement length without --seconds and without --replay, seconds.
  static constexpr double kDefaultSeconds = 5.0;

  std::string plugin;              // plug-in library; empty: host::PluginLoader's default
  std::filesystem::path settings;  // settings folder; empty: the host's default folder
  std::optional<double> seconds;   // measurement length in seconds (> 0); unset: see above
  bool fast = false;               // step a manual host clock instead of real time
  std::filesystem::path replay;    // log replayed on `channel`; empty: none
  int channel = 0;                 // channel of the replay, 0..255
  double samplePeriod = 0.001;     // seconds per slow sample, > 0
  unsigned samplesPerFrame = 100;  // slow samples per frame, 1..100000
  std::filesystem::path capture;   // log of the frame-aligned stream; empty: none
  bool quiet = false;              // no progress bar
  std::map<int, std::filesystem::path> dbc;  // DBC file by bus channel (--dbc)
  bool allSignals = false;                   // session signals for unassigned DBC signals
  std::filesystem::path signals;             // CSV of the decoded signals; empty: none
  std::filesystem::path plot;                // PNG of the decoded signals; empty: none
  int plotWidth = 1600;                      // pixels of the --plot picture
  int plotHeight = 900;

  // [ui] Reads the arguments that follow "run". False with a one-line reason in `error`.
  static bool Parse(const std::vector<std::string>& args, RunOptions& options, std::string& error);

  // [ui] "WIDTHxHEIGHT" of --size (also canhost plot's). False with a one-line reason.
  static bool ParseSize(const std::string& value, int& width, int& height, std::string& error);
  // [any] Seconds per frame.
  double FrameSeconds() const noexcept { return samplePeriod * samplesPerFrame; }
  // [any] Frames the measurement lasts; 0 when it ends with the replayed log instead.
  unsigned long long Frames() const noexcept;
};

}  // namespace app
