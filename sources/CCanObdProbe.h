#pragma once
// Source type 2: an OBD-II tester on the channel. The host's sequencer sends the requests; the
// source captures the whole traffic of its channel for the host, like the base source. Three
// settings drive the sequencer; they live in the application sea under the source's current name:
//   <name> = <timer resolution ms, unsigned>, <regular action 0/1>, <execute at start 0/1>
//   e.g. "CAN 0" = "10", "1", "0"   -> every 10 ms, regular requests on, nothing at start
//        a negative resolution entered in the dialog is stored as "4294967295" and reads back -1
#include <atomic>
#include <cstdint>
#include <memory>

#include "sources/AnalysisHolders.h"
#include "sources/CCanSource.h"
#include "sources/ISequencerSourceAccess.h"

class CCanObdProbe : public CCanSource, public ISequencerSourceAccess {
 public:
  CCanObdProbe(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel, bool fd,
               XeCanDriverKvaser::bitrate_t bitrate,
               XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
               XeCanDriverKvaser::fd_datarate_t fdData);
  // [ui] Shuts the sequencer down and stores the settings before anything goes.
  ~CCanObdProbe() override;

  // [any, at load] Sources built from now on get their window from the factory (null: none);
  // returns the previous factory.
  static SequencerDialogFactory set_dialog_factory(SequencerDialogFactory factory);

  // [processing] Base start; then the sequencer (made at the first start) runs its one-shot and
  // switches its timer as the settings say.
  bool start() override;
  // [processing] Base stop; then the sequencer's timer off.
  bool stop() override;
  bool has_settings() override { return true; }
  void show_settings() override;

  SequencerValues values() const override;
  void apply_settings(const SequencerValues& values) override;
  void one_shot() override;
  void options() override;
  SequencerHolder& holder() noexcept override { return m_holder; }

  // [ui] Reads / writes the three settings (see above).
  void read_settings();
  void write_settings();

 private:
  // In this order: the holder exists before the dialog that points to it, and goes after it.
  SequencerHolder m_holder;
  // Written [ui] (the window, during acquisition too), read by start and stop.
  std::atomic<std::int32_t> m_timerResolution{10};  // ms
  std::atomic<bool> m_regularActive{false};
  std::atomic<bool> m_executeAtStart{false};
  std::unique_ptr<ISettingsDialog> m_dlg;  // null without a dialog factory
};
