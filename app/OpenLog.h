#pragma once
// File > Open log... of canhost ui, in the settings: a log (any format the replay reads) plays on
// a channel of its own, a CAN source records that channel, and the log's DBC file decodes it with
// every one of its signals shown. What is written is what a restart reads, so the window sets it
// up by making its modules anew from the settings (UiSession::OpenLog).
//
//   candriver.conf   + channel 4 replay file=/data/drive.log    (the lowest channel free in the
//                                                               file and among the sources; a
//                                                               replay of the same log is reused)
//   Application.sea  "CAN-Sources": every source switched off, + "drive.log" active on channel 4
//                    (standard source, 500 kbit/s; CAN FD 500 kbit/s / 2 Mbit/s when the log has
//                    CAN FD frames); "CCanSink-Busses": channel 4 decoded by the DBC decoder
//   decoders/CCanDbcDecoder_4.txt   file = /data/car.dbc, signals = all
#include <filesystem>
#include <string>
#include <vector>

namespace app {

struct LogChannel {
  int channel = -1;
  bool fd = false;                      // the log has CAN FD frames
  std::vector<std::string> interfaces;  // of the log's first frames
  std::string source;                   // the source's name: the log's file name
};

// [ui] Checks the log (and the DBC file, when given) and writes candriver.conf; `sourceChannels`
// are the channels the module's sources use. False with one line in `error` ("drive.log: no CAN
// frame in it"), the settings then unchanged.
bool PrepareLogChannel(const std::filesystem::path& log, const std::filesystem::path& dbc,
                       const std::vector<int>& sourceChannels, LogChannel& channel,
                       std::string& error);

// [ui] The channel's decoder in the application settings and decoders/: the DBC decoder on `dbc`
// with every signal shown (after the sink wrote its own choices). False with one line in `error`.
bool StoreLogDecoder(const LogChannel& channel, const std::filesystem::path& dbc,
                     std::string& error);

// [ui] The sources list of the application settings: every source switched off, the log's source
// on its channel switched on (added, or the one already there); the names switched off.
std::vector<std::string> StoreLogSource(const LogChannel& channel);

}  // namespace app
