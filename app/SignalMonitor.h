#pragma once
// The live view of the decoded signals: after every frame the processing thread takes the frame's
// values, keeps each signal's recent points (the last ui::SignalSnapshot::kWindowSeconds, at most
// kMaxPoints) and publishes a new immutable snapshot. Readers take the latest snapshot under a
// lock held only to copy one pointer, so the processing thread never waits for a window's work.
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "app/SinkSignalReader.h"
#include "host/mfc/ThreadSafety.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/ui/SignalSnapshot.h"

namespace app {

class SignalMonitor {
 public:
  SignalMonitor(double samplePeriod, unsigned samplesPerFrame);

  // [ui] Forgets the values of an earlier measurement (no frame may run meanwhile).
  void Restart();
  // [processing] Takes frame `frame` (0 = the first since Restart) of `sink` and publishes.
  void AddFrame(std::uint64_t frame, CSlowSinkPlugin& sink);
  // [processing] Rows published with the next frame's, besides the sink's signals (the DBC signals
  // charted from the message list).
  void SetExtraRows(std::vector<ui::SignalRow> rows) { m_extra = std::move(rows); }
  // [any] The latest snapshot (shared, never changed); an empty one before the first frame.
  ui::SignalSnapshotPtr Snapshot() const;

 private:
  struct Live {
    ui::SignalRow row;                 // without points: those are in `points`
    std::deque<ui::PlotPoint> points;  // ascending time
  };

  void Publish(double seconds);

  double m_samplePeriod;
  unsigned m_samplesPerFrame;
  SinkSignalReader m_reader;
  std::vector<Live> m_live;            // by the reader's index; [processing]
  std::vector<ui::SignalRow> m_extra;  // [processing]
  mutable host::Mutex m_mutex;
  ui::SignalSnapshotPtr m_published GUARDED_BY(m_mutex);
};

}  // namespace app
