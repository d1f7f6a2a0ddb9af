#pragma once
// Source type 2: an OBD-II tester on the channel. The host's sequencer sends the requests; the
// source captures the whole traffic of its channel for the host, like the base source. Three
// settings drive the sequencer; they live in the application sea under the source's current name:
//   <name> = <timer resolution ms, unsigned>, <regular action 0/1>, <execute at start 0/1>
//   e.g. "OBDTester" = "10", "1", "0"   -> every 10 ms, regular requests on, nothing at start
//        a negative resolution entered in the dialog is stored as "4294967295" and reads back -1
#include <cstdint>

#include "dialogs/CCanSequencerDlg.h"
#include "sources/AnalysisHolders.h"
#include "sources/CCanSource.h"

class CCanObdProbe : public CCanSource {
 public:
  CCanObdProbe(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel, bool fd,
               XeCanDriverKvaser::bitrate_t bitrate,
               XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
               XeCanDriverKvaser::fd_datarate_t fdData);
  // [ui] Shuts the sequencer down and stores the settings before anything goes.
  ~CCanObdProbe() override;

  // [processing] Base start; then the sequencer (made at the first start) runs its one-shot and
  // switches its timer as the settings say.
  bool start() override;
  // [processing] Base stop; then the sequencer's timer off.
  bool stop() override;
  bool has_settings() override { return true; }
  void show_settings() override { m_dlg.show(); }

  // [ui] The dialog's OK and Apply: takes its three values, switches the timer, stores them.
  void apply_settings();
  // [ui] The dialog's "One shot": the one-shot requests, if there is a sequencer.
  void one_shot();
  // [ui] The dialog's "Options...": the sequencer's own settings, or a message box before there is
  // a sequencer.
  void options();

  // [ui] Reads / writes the three settings (see above).
  void read_settings();
  void write_settings();

  SequencerHolder& holder() noexcept { return m_holder; }
  CCanSequencerDlg& dialog() noexcept { return m_dlg; }

  // In this order: the holder exists before the dialog that points to it.
  SequencerHolder m_holder;
  std::int32_t m_timerResolution = 10;  // ms
  bool m_regularActive = false;
  bool m_executeAtStart = false;
  CCanSequencerDlg m_dlg;
};
