#pragma once
// What a test reads of a sink through what the sink shows: its window, its window's view of the
// channels, the settings it stores, and the decoder a channel keeps when asked for one of its own
// class.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>

#include "host/settings/CSeaBase.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"

namespace sink_view {

// While alive, each sink built gets the plug-in's window from a factory that remembers which sink
// it is for. The plug-in's factory comes back on destruction: the library registers it for the
// process. One at a time.
class SinkWindows {
 public:
  SinkWindows() : m_plugin(CCanSink::set_dialog_factory(&Make)) { s_plugin = m_plugin; }
  ~SinkWindows() {
    CCanSink::set_dialog_factory(m_plugin);
    s_windows.clear();
  }
  SinkWindows(const SinkWindows&) = delete;
  SinkWindows& operator=(const SinkWindows&) = delete;

  // [ui] The window of `sink` (owned by the sink), null when it got none.
  static ISinkDialog* Of(const ISinkAccess& sink) {
    const auto it = s_windows.find(&sink);
    return it == s_windows.end() ? nullptr : it->second;
  }

 private:
  static std::unique_ptr<ISinkDialog> Make(ISinkAccess& sink) {
    auto window = s_plugin ? s_plugin(sink) : nullptr;
    s_windows[&sink] = window.get();
    return window;
  }
  static inline SinkDialogFactory s_plugin = nullptr;
  static inline std::map<const ISinkAccess*, ISinkDialog*> s_windows;
  SinkDialogFactory m_plugin;
};

// The decoder class of a channel the window lists (null: none); nullopt when it is not listed
// (no decoder slot, or no CAN source bound to it).
inline std::optional<CRuntimeClass*> DecoderClass(const ISinkAccess& sink, int channel) {
  for (const SinkChannel& c : sink.channels())
    if (c.channel == channel) return c.cls;
  return std::nullopt;
}

// The DBC decoder a channel has: asking for one of the same class keeps it. The test must know
// that the channel has one, or this makes one.
inline CCanDbcDecoder* DbcDecoder(CCanSink& sink, int channel) {
  return dynamic_cast<CCanDbcDecoder*>(sink.set_decoder(channel, RUNTIME_CLASS(CCanDbcDecoder)));
}

// The time-out the sink stored last, seconds; nullopt when it stored none.
inline std::optional<int> StoredTimeout() {
  const CResourceEntry* entry = CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params");
  if (entry == nullptr) return std::nullopt;
  return entry->GetIntFb(0, -1);
}

}  // namespace sink_view
