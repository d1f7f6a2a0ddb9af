#pragma once
// Source type 0: captures its channel's traffic for the host, passing on only identifiers whose
// range in the filter table is active, and keeps per-identifier counts for its dialog.
//
// The filter table is stored in settings sea 0 as the list "<source name>-<channel>" (see
// DataSource.h for the line format). A stored table that is not sorted and contiguous from 0 to
// kMaxCanId is still honoured: an identifier takes the flag of the first range containing it, and
// an identifier that no range covers passes (as the dialog's normalisation turns uncovered ends and
// gaps into passing ranges); such a table is reported once in the log.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "sources/CCanSource.h"
#include "sources/DataSource.h"
#include "sources/IStandardSourceAccess.h"
#include "sources/IdRange.h"

class CCanStandardSource : public CCanSource, public IStandardSourceAccess {
 public:
  CCanStandardSource(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel,
                     bool fd, XeCanDriverKvaser::bitrate_t bitrate,
                     XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                     XeCanDriverKvaser::fd_datarate_t fdData);
  ~CCanStandardSource() override;

  // The dialog's traffic view is refreshed at every frame of 100 ms or more while traffic flows (so
  // at least five times a second for frames up to 200 ms), and never for a quiet bus: a refresh is
  // due when more than kRefreshMs have passed since the last one and more than kQuietCount
  // messages (about 100 a second) have been counted since the counts restarted.
  static constexpr std::uint32_t kRefreshMs = 90;
  static constexpr std::uint32_t kQuietCount = 10;

  // [any, at load] Sources built from now on get their window from the factory (null: none);
  // returns the previous factory.
  static StandardSourceDialogFactory set_dialog_factory(StandardSourceDialogFactory factory);

  bool fetch() override;
  // [ui] Also enables or disables the open window's OK and Apply: the range table is replaced only
  // while acquisition is stopped.
  void set_running(bool running) override;
  bool has_settings() override { return true; }
  void show_settings() override;

  // [reception] Counts the message and queues it when its range is active and the source is.
  bool on_filtered_message(const CanMessage& message);

  // The dialog's view of the source.
  Statistics stats_snapshot() override;
  void request_count_reset() noexcept override {
    m_resetCounts.store(true, std::memory_order_relaxed);
  }
  IdRangeList ranges() override;
  bool replace_ranges(IdRangeList table) override;
  bool running() const noexcept override { return acquisition_running(); }

 private:
  // Active flag of the range holding the ID; the caller holds m_lock.
  bool range_flag(int id) const noexcept REQUIRES(m_lock);
  bool table_is_valid() const noexcept REQUIRES(m_lock);
  // Copies m_idStats into m_snapshot; the caller holds m_lock. A fetch skips it while the UI is
  // copying the snapshot (the next one catches up), a table change waits.
  void publish_stats_locked(bool fetching) REQUIRES(m_lock);
  // The window has shown the last snapshot: the counts restart from it, so that what came in since
  // counts toward the next refresh. The caller holds m_lock.
  void restart_counts_locked() noexcept REQUIRES(m_lock);
  // m_snapshot as a holder of m_lock reads it: every writer holds m_lock too.
  const Statistics& shown_locked() const noexcept REQUIRES(m_lock) NO_THREAD_SAFETY_ANALYSIS {
    return m_snapshot;
  }

  DataSource::CApplicationSeaContainerDataSource<IdRangeList> m_rangeStore;
  IdRangeList m_ranges GUARDED_BY(m_lock);             // as stored
  bool m_rangesValid GUARDED_BY(m_lock) = true;        // sorted and contiguous
  std::map<int, IdStat> m_idStats GUARDED_BY(m_lock);  // every ID seen since construction
  // m_idStats as of the last fetch or table change, for the dialog: the UI copies it without
  // holding m_lock, so neither reception nor fetch ever waits for a window.
  host::Mutex m_snapshotLock;
  // Written under m_lock and m_snapshotLock, so either lock is enough to read it: the UI takes
  // m_snapshotLock, the count restart (processing thread) holds m_lock (shown_locked).
  Statistics m_snapshot GUARDED_BY(m_snapshotLock);
  std::atomic<bool> m_resetCounts{false};
  std::uint32_t m_lastSchedule;  // GetTickCount of the last scheduled refresh
  // Lets a refresh scheduled onto the UI thread notice that the source is gone.
  std::shared_ptr<CCanStandardSource*> m_alive;
  std::unique_ptr<ISettingsDialog> m_dlg;  // null without a dialog factory
};
