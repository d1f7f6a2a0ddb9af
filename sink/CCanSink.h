#pragma once
// The CAN sink: parses the CAN packets of the sources back out of the slow-sampling data and
// decodes them per bus channel into application signals, recorded in the host's pulse or hop
// lists; signals that stay silent longer than the time-out are reported once per silence.
//
// Threads: process and callback [processing]; everything else [ui]. The host never runs the two
// at the same time, so the sink has no lock.
#include <cstdint>
#include <map>
#include <set>

#include "frame/CanPacket.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "sink/CCanDecoder.h"

class CCanDbcDecoder;

class CCanSink : public CSlowSinkPlugin {
  DECLARE_DYNCREATE(CCanSink)
 public:
  using DecoderTable = std::map<int, CCanDecoder*>;

  CCanSink();
  ~CCanSink() override;
  CCanSink(const CCanSink&) = delete;
  CCanSink& operator=(const CCanSink&) = delete;

  // The "CAN Decoding" dialog comes with the UI; until then there is nothing to show.
  void ShowSettingsDialog() override {}
  void create(CSlowSink* sink) override { CSlowSinkPlugin::create(sink); }
  // True exactly for CAN sources.
  bool accepts_src(SlowSampling::CAsyncSource* source) override;
  // Binds a CAN source: its channel gets an entry (without decoder: see set_decoder).
  bool add_src(SlowSampling::CAsyncSource* source) override;
  void process(const CDescriptionInterface& block, int sourceId) override;
  void read_params() override;
  void write_params() const override;
  SlowSampling::SinkStatistics statistics() const override;

  // [ui] Gives `channel` a decoder of `cls` (null: none), replacing one of another class. The
  // entry, or end() for a negative channel.
  DecoderTable::iterator set_decoder(int channel, CRuntimeClass* cls);
  // [ui] Offered signals follow the decoders' signal tables (matched by name).
  void sync_signals();
  // [ui] Takes the dialog's values, re-offers the signals, stores everything and has the host
  // take up the signals. Also every decoder's modification callback.
  void apply_settings();
  // [processing] The decoders' value callback: (application signal, value, frame).
  void callback(int signal, float value, int frame);
  // [ui] Records the decoder's DBC file in "CanDecoders-XMLFiles"; false when it has none.
  bool store_decoder_file(int channel, CCanDbcDecoder& decoder);

  // [any] Process-wide decoder classes, by record address (created on first use).
  static std::set<CRuntimeClass*>& decoder_classes();

  // [any] State for tests and the dialog.
  const DecoderTable& decoders() const noexcept { return m_decoders; }
  unsigned int timeout() const noexcept { return m_timeout; }
  // [ui] The dialog's edit copy of the time-out, seconds, which apply_settings takes over.
  unsigned int edit_timeout() const noexcept { return m_editTimeout; }
  void set_edit_timeout(unsigned int seconds) noexcept { m_editTimeout = seconds; }

 private:
  int source_channel(int sourceId) const;
  void complete_lists(std::uint32_t len);
  bool timed_out(SinkSignalState& state, int signal);
  void apply_param_db_files();

  unsigned int m_timeout = 0;
  unsigned int m_editTimeout = 0;  // the dialog's edit copy of m_timeout
  DecoderTable m_decoders;
  float m_frameRate = 0.0F;
  SinkSourceEntry* m_current = nullptr;  // the entry of the block in process; null: none
  can::CanPacket m_packet;               // the parse buffer
  std::uint32_t m_blockTick = 0;         // GetTickCount at the start of the block in process
  std::uint64_t m_decoded = 0;           // packets handed to a decoder since creation
  std::uint64_t m_leftOut = 0;           // packets of a decoded channel in a block's frame 0
};
