#pragma once
// The host side of the CAN sink, as canhost run plays the host: it creates "CCanSink" by name
// next to the source module, binds every source of that module to it (add_src) and only then
// has it read its parameters, so that the decoders chosen in the stored settings survive the
// binding (binding a channel resets its decoder). The frame driver hands it each frame's data;
// at the end it writes its parameters before the seas are saved.
//
// Sources the module signs in later (a row added or changed in the "CAN-Bus" window) are bound at
// once, and the sink told (sources_changed), so that their channels keep the decoders stored for
// them; released sources are unbound. The "CAN Decoding" window then lists them.
//
// Before the sink reads its parameters, the command line's DBC files (--dbc CH=FILE) are put
// into the settings where the sink and its decoders keep them: the channel's line of
// "CCanSink-Busses" names the DBC decoder class, and the decoder's own configuration names the
// file. A file that does not load is reported by the decoder; that channel decodes nothing.
//
// Threads: canhost runs [ui] and [processing] on its one main thread.
#include <map>
#include <memory>
#include <string>

#include "app/CanSourceHost.h"
#include "host/slowsampling/CSlowSinkPlugin.h"

namespace app {

class CanSinkHost {
 public:
  // Registration name of the sink canhost drives; also its module name.
  static constexpr const wchar_t* kModuleName = L"CCanSink";

  CanSinkHost() = default;
  ~CanSinkHost();
  CanSinkHost(const CanSinkHost&) = delete;
  CanSinkHost& operator=(const CanSinkHost&) = delete;

  // [ui] The name under which the sink's DBC decoder of `channel` keeps its configuration.
  static std::wstring DecoderName(int channel);
  // [ui] Makes `file` the DBC file of `channel` in the settings (see above). False with one line
  // in `error` when the decoder configuration cannot be written.
  // `allSignals`: the decoder gives every DBC signal nothing is assigned to a signal of its own.
  static bool StoreDbcFile(int channel, const std::string& file, std::string& error,
                           bool allSignals = false);

  // [ui] Creates the sink (the plug-in is loaded by `sources`), binds the module's sources, reads
  // the parameters, brings the host's signal states in line and attaches it to the frames.
  // `bindFirst` false reads the parameters before binding (what a host must not do: the stored
  // decoders are lost). False with one line in `error`.
  bool Create(CanSourceHost& sources, std::string& error, bool bindFirst = true);
  // [ui] write_params of the sink.
  void Shutdown();
  // [ui] Unbinds the sink and destroys it (after Shutdown), so that `sources` can be made anew;
  // Create makes a new one.
  void Destroy(CanSourceHost& sources);

  // [any] The sink (owned by this host), null before Create.
  CSlowSinkPlugin* Sink() const noexcept { return m_sink; }

 private:
  // [ui] A source of `plugin` signed in (bound) or was released (unbound).
  void SourceChanged(SlowSampling::CAsyncSource* source, bool signedIn,
                     const CSlowAsyncSourcePlugin* plugin);

  std::unique_ptr<CModule> m_module;
  CSlowSinkPlugin* m_sink = nullptr;  // m_module as a sink
  int m_observer = 0;                 // of the source registry, 0: none
};

}  // namespace app
