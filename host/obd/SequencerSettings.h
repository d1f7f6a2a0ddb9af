#pragma once
// The OBD-II tester's settings: the requests it sends and how it asks for multi-frame answers. One
// text file per sequencer in the host's settings folder, "<name>.sequencer", UTF-8, one item per
// line; "#" starts a comment; blank lines are ignored.
//
//   timer <ms>                                period of the regular requests (SetTimer wins)
//   regular <id> <payload> [st=<sep>] [bs=<n>] sent in turn, one per period, while the timer runs
//   oneshot <id> <payload> [st=<sep>] [bs=<n>] sent once per StartAction, before regular ones
//
// <id> is the 11-bit request identifier in hex (7DF functional, 7E0..7E7 physical); <payload> the
// ISO-TP payload in hex, 1..7 bytes, blanks between bytes allowed; st= and bs= are the flow control
// the tester answers a multi-frame answer with: separation time (0..127 ms, or F1..F9 hex for
// 100..900 us; default 0) and block size (0..255, 0 = no limit; default 0).
//
// Lines -> result:
//   timer 10                       -> period 10 ms
//   regular 7DF 010C               -> every period in turn: functional request 01 0C (engine speed)
//   regular 7E0 01 0D              -> physical request 01 0D (vehicle speed)
//   oneshot 7DF 0902 st=5          -> VIN once per StartAction; consecutive frames 5 ms apart
//   oneshot 7DF 0902 st=F3 bs=2    -> ... 300 us apart, flow control again after every 2 frames
//   poll 7DF 010C                  -> error UnknownKeyword
//   regular 800 010C               -> error BadIdentifier (not an 11-bit identifier)
//   regular 7DF 010                -> error BadPayload (odd number of hex digits)
//   regular 7DF 0102030405060708   -> error BadPayload (more than 7 bytes)
//   regular 7DF 010C st=200        -> error BadOption
//   timer 0                        -> error BadTimer (1..60000 ms)
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace XeCanAnalysis {

struct SequencerRequest {
  std::uint32_t id = 0x7DF;
  std::vector<std::uint8_t> payload;  // 1..7 bytes
  std::uint8_t separation = 0;        // st= as the flow-control byte
  std::uint8_t blockSize = 0;         // bs=
  bool operator==(const SequencerRequest&) const = default;
};

enum class SequencerSettingsError {
  UnknownKeyword,
  BadIdentifier,
  BadPayload,
  BadOption,
  BadTimer,
};

struct SequencerSettingsProblem {
  int line;  // 1-based
  SequencerSettingsError error;
  std::string text;  // the reason in words
};

struct SequencerSettings {
  int timerMs = 10;
  std::vector<SequencerRequest> regular;
  std::vector<SequencerRequest> oneShot;
  std::vector<SequencerSettingsProblem> problems;  // lines left out

  // [any] Reads the text; a wrong line is left out and listed in `problems`, the others count.
  static SequencerSettings Parse(std::string_view text);
  // [any] The settings a new sequencer starts with: engine speed, vehicle speed and coolant
  // temperature polled every 10 ms, the VIN once.
  static SequencerSettings Defaults();
  // [any] The text of these settings, with a comment header; Parse gives them back.
  std::string Text() const;
};

// [any] "<folder>/<name>.sequencer".
std::filesystem::path SequencerSettingsFile(const std::filesystem::path& folder,
                                            const std::wstring& name);

}  // namespace XeCanAnalysis
