#pragma once
// What the DBC files of the sink's decoders say about the messages of the message list: the name
// of a message on a channel, and every signal of it decoded from given bytes, named as the
// session signals of canhost run --all-signals are. It holds the files the decoders had loaded
// when it was last taken (shared, never changed), so a file swapped in a dialog meanwhile shows
// from the next Take. [ui]
//
//   channel 0 with obd2.dbc: Name(0, 0x7E8) -> "OBD2"   Name(0, 0x123) -> ""   Name(5, ...) -> ""
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/cananalysis/DbcLoadedFile.h"
#include "host/ui/MessageSnapshot.h"

namespace app {

class MessageDictionary {
 public:
  // Takes `file` as the DBC file of `channel`; null: the channel has none.
  void Take(int channel, std::shared_ptr<const XeCanAnalysis::DbcLoadedFile> file);
  void Clear() { m_channels.clear(); }

  // `id` with bit 31 for an extended identifier, as the CAN packets carry it.
  std::string Name(int channel, std::uint32_t id) const;
  std::vector<ui::DecodedSignal> Decode(int channel, std::uint32_t id, const std::uint8_t* data,
                                        int length) const;

  // A signal of the file of a channel, found by its message and its name as Decode gives it.
  struct Found {
    std::shared_ptr<const XeCanAnalysis::DbcLoadedFile> file;
    std::uint32_t flat = 0;  // flat signal number of the file
    std::string unit;
  };
  std::optional<Found> Find(int channel, std::uint32_t id, const std::string& name) const;

 private:
  struct Channel {
    std::shared_ptr<const XeCanAnalysis::DbcLoadedFile> file;
    std::vector<std::string> names;  // by flat signal number
  };
  std::map<int, Channel> m_channels;
};

}  // namespace app
