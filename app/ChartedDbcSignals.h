#pragma once
// DBC signals charted from the message list, whether or not an application signal carries them:
// the window chooses them on the UI thread, the processing thread decodes their messages as the
// frames pass and keeps their recent points as the live view keeps the application signals'
// (SignalSnapshot::kWindowSeconds, at most kMaxPoints). The choice is handed over as an immutable
// list that the processing thread adopts at its next frame; neither thread waits for the other
// longer than the copy of one pointer.
//
//   Chart(0, 0x7E8, "VehicleSpeed", true) -> a row "VehicleSpeed" from CAN 0, km/h, its values
//   the same name charted on channels 0 and 2 -> "VehicleSpeed (CAN 0)", "VehicleSpeed (CAN 2)"
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/MessageDictionary.h"
#include "host/mfc/ThreadSafety.h"
#include "host/ui/SignalSnapshot.h"

namespace app {

class ChartedDbcSignals {
 public:
  // [ui] Charts signal `name` (as MessageDictionary::Decode names it) of message `id` of
  // `channel`, or stops charting it; false when the channel's file has no such signal.
  bool Chart(const MessageDictionary& dictionary, int channel, std::uint32_t id,
             const std::string& name, bool on);
  // [ui] Whether that signal is charted.
  bool Charted(int channel, std::uint32_t id, const std::string& name) const;
  // [ui] Forgets the points of an earlier measurement (no frame may run meanwhile); the choice
  // stays, with the signals of the files `dictionary` holds now (those it lacks are dropped).
  void Restart(const MessageDictionary& dictionary);

  // [processing] A frame begins: the latest choice is adopted.
  void BeginFrame();
  // [processing] One message of the frame, at `time` seconds from the start.
  void Add(int channel, std::uint32_t id, const std::uint8_t* data, int length, double time);
  // [processing] The charted signals' rows at measured time `seconds`.
  std::vector<ui::SignalRow> Rows(double seconds);

 private:
  struct Choice {
    int channel = 0;
    std::uint32_t id = 0;
    std::string name;  // as the dictionary names it
    MessageDictionary::Found signal;
  };
  using Choices = std::vector<Choice>;
  struct Live {
    ui::SignalRow row;  // without points
    std::deque<ui::PlotPoint> points;
  };
  // [ui] Hands the choice over to the processing thread.
  void Offer();
  static std::string Key(int channel, std::uint32_t id, const std::string& name);
  // The names the rows get: a name charted on two channels carries the channel.
  static std::vector<std::string> RowNames(const Choices& choices);

  std::map<std::string, Choice> m_choices;  // [ui] by Key
  mutable host::Mutex m_mutex;
  std::shared_ptr<const Choices> m_offered GUARDED_BY(m_mutex);
  std::shared_ptr<const Choices> m_adopted;  // [processing]
  std::map<std::string, Live> m_live;        // [processing] by Key
};

}  // namespace app
