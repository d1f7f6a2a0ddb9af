#pragma once
// The CAN sink: parses the CAN packets of the sources back out of the slow-sampling data and
// decodes them per bus channel into application signals, recorded in the host's pulse or hop
// lists; signals that stay silent longer than the time-out are reported once per silence.
//
// Threads: process and callback [processing]; everything else [ui]. A [ui] change of the decoders
// or the offered signals made while the host feeds blocks (the "CAN Decoding" window, a decoder's
// own settings) is built aside and staged; the processing thread adopts it before its next block
// (CSlowSinkPlugin::stage), and a replaced decoder is destroyed on [ui] once it has. So the sink
// takes no lock of its own on the way of a message.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "frame/CanPacket.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "sink/CCanDecoder.h"
#include "sink/ISinkAccess.h"

class CCanDbcDecoder;

class CCanSink : public CSlowSinkPlugin, public ISinkAccess {
  DECLARE_DYNCREATE(CCanSink)
 public:
  using DecoderTable = std::map<int, std::unique_ptr<CCanDecoder>>;

  CCanSink();
  ~CCanSink() override;
  CCanSink(const CCanSink&) = delete;
  CCanSink& operator=(const CCanSink&) = delete;

  // [any, at load] Sinks built from now on get their window from the factory (null: none);
  // returns the previous factory.
  static SinkDialogFactory set_dialog_factory(SinkDialogFactory factory);

  // [ui] The "CAN Decoding" window, or to the top when it is open.
  void ShowSettingsDialog() override;
  void create(CSlowSink* sink) override { CSlowSinkPlugin::create(sink); }
  // True exactly for CAN sources.
  bool accepts_src(SlowSampling::CAsyncSource* source) override;
  // Binds a CAN source: its channel gets an entry (without decoder: see set_decoder).
  bool add_src(SlowSampling::CAsyncSource* source) override;
  // Unbinds a source; its channel keeps its decoder.
  bool remove_src(SlowSampling::CAsyncSource* source) override;
  void process(const CDescriptionInterface& block, int sourceId) override;
  void read_params() override;
  void write_params() const override;
  // A channel that binding left without decoder gets the one its settings choose again, and the
  // offered signals follow.
  void sources_changed() override;
  SlowSampling::SinkStatistics statistics() const override;

  // [ui] Gives `channel` a decoder of `cls` (null: none), replacing one of another class. The
  // channel's decoder (owned by the sink), null when it has none or the channel is negative. The
  // processing thread decodes with the new table from its next block on.
  CCanDecoder* set_decoder(int channel, CRuntimeClass* cls);
  // [ui] Offered signals follow the decoders' signal tables (matched by name).
  void sync_signals();
  // [ui] Takes the dialog's values, re-offers the signals, stores everything and has the host
  // take up the signals. Also every decoder's modification callback.
  void apply_settings() override;
  // [processing] The decoders' value callback: (application signal, value as decoded, frame).
  void callback(int signal, double value, int frame);
  // [ui] Records the decoder's DBC file in "CanDecoders-XMLFiles"; false when it has none.
  bool store_decoder_file(int channel, CCanDbcDecoder& decoder);

  // [any] The current host's decoder classes, by record address (created on first use).
  static std::set<CRuntimeClass*>& decoder_classes();

  std::vector<SinkChannel> channels() const override;
  std::vector<CRuntimeClass*> decoder_choices() const override {
    return {decoder_classes().begin(), decoder_classes().end()};
  }
  void choose_decoder(int channel, CRuntimeClass* cls) override { set_decoder(channel, cls); }
  void show_decoder_settings(int channel) override;

 private:
  int source_channel(int sourceId) const;
  void complete_lists(std::uint32_t len);
  bool timed_out(SinkSignalState& state, int signal);
  void apply_param_db_files();
  // [ui] Each channel of "<module>-Busses" gets the decoder class stored for it (a decoder of
  // that class already there stays as it is).
  void choose_stored_decoders();
  // [ui] Stages m_decoders as the processing thread's table; `retired` (a decoder taken out of
  // it, or null) is destroyed once the processing thread has let go of it.
  void publish_decoders(std::unique_ptr<CCanDecoder> retired);
  // [ui] An open window shows the channels again.
  void channels_changed();

  std::atomic<unsigned int> m_timeout{0};  // seconds, 0: none; written [ui], read [processing]
  std::unique_ptr<ISinkDialog> m_dlg;      // "CAN Decoding"; null without a dialog factory
  DecoderTable m_decoders;                 // [ui]
  // [processing] m_decoders as adopted; a decoder leaves m_decoders only through
  // publish_decoders, which keeps it alive until this table no longer holds it.
  std::map<int, CCanDecoder*> m_decoding;
  float m_frameRate = 0.0F;
  SinkSourceEntry* m_current = nullptr;  // the entry of the block in process; null: none
  // The tick of the packet in decoding, read at its first value: the values of one packet arrive
  // within microseconds, and a clock read per value was a twentieth of a busy real-time run.
  std::optional<std::uint32_t> m_packetTick;
  can::CanPacket m_packet;          // the parse buffer
  std::uint64_t m_decoded = 0;      // packets handed to a decoder since creation
  std::uint64_t m_sharedFrame = 0;  // values in a frame that had one of their signal
};
