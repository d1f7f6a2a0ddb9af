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
#include <utility>
#include <vector>

#include "dialogs/CCanStandardSrcDlg.h"
#include "sources/CCanSource.h"
#include "sources/DataSource.h"
#include "sources/IdRange.h"

class CCanStandardSource : public CCanSource {
 public:
  CCanStandardSource(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel,
                     bool fd, XeCanDriverKvaser::bitrate_t bitrate,
                     XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                     XeCanDriverKvaser::fd_datarate_t fdData);
  ~CCanStandardSource() override;

  bool fetch() override;
  void set_running(bool running) override;
  bool has_settings() override { return true; }
  void show_settings() override;

  // [reception] Counts the message and queues it when its range is active and the source is.
  bool on_filtered_message(const CanMessage& message);
  // [any] Active flag of the range holding the ID (caller holds m_lock or owns the table).
  bool range_flag(int id) const noexcept;
  // [ui] Recomputes every known ID's pass flag from m_ranges and stores the table. The caller
  // changed m_ranges under ranges_lock().
  void apply_ranges();
  // [ui] Replaces the table and applies it.
  void replace_ranges(IdRangeList ranges);

  // [ui] The table (read it, or change it and then call apply_ranges, under ranges_lock()).
  IdRangeList& ranges() noexcept { return m_ranges; }
  CCriticalSection& ranges_lock() noexcept { return m_lock; }
  // [ui] A copy of the statistics, ascending by ID.
  std::vector<std::pair<int, IdStat>> stats_snapshot();
  // [ui] Restart the counts at the next fetch (the dialog sets this after each refresh).
  void request_count_reset() noexcept { m_resetCounts.store(true, std::memory_order_relaxed); }
  CCanStandardSrcDlg& dialog() noexcept { return m_dlg; }

 private:
  bool table_is_valid() const noexcept;

  DataSource::CApplicationSeaContainerDataSource<IdRangeList> m_rangeStore;
  IdRangeList m_ranges;               // guarded by m_lock
  std::vector<IdRange> m_rangeIndex;  // m_ranges as an array for the binary search; m_lock
  bool m_rangesValid = true;          // sorted and contiguous; m_lock
  std::map<int, IdStat> m_idStats;    // every ID seen since construction; m_lock
  std::atomic<bool> m_resetCounts{false};
  std::uint32_t m_lastSchedule;  // GetTickCount of the last scheduled refresh
  // Lets a refresh scheduled onto the UI thread notice that the source is gone.
  std::shared_ptr<CCanStandardSource*> m_alive;
  CCanStandardSrcDlg m_dlg;
};
