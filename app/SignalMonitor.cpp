#include "app/SignalMonitor.h"

#include <algorithm>
#include <utility>

namespace app {

SignalMonitor::SignalMonitor(double samplePeriod, unsigned samplesPerFrame)
    : m_samplePeriod(samplePeriod),
      m_samplesPerFrame(samplesPerFrame),
      m_reader(samplePeriod, samplesPerFrame),
      m_published(std::make_shared<ui::SignalSnapshot>()) {}

void SignalMonitor::Restart() {
  m_reader = SinkSignalReader(m_samplePeriod, m_samplesPerFrame);
  m_live.clear();
  m_extra.clear();
  host::MutexLock lock(m_mutex);
  m_published = std::make_shared<ui::SignalSnapshot>();
}

void SignalMonitor::AddFrame(std::uint64_t frame, CSlowSinkPlugin& sink) {
  const double end = static_cast<double>(frame + 1) * m_samplePeriod * m_samplesPerFrame;
  m_reader.Read(
      frame, sink,
      [&](std::size_t index, const SinkSignalState& state, std::span<const ui::PlotPoint> values) {
        if (m_live.size() <= index) m_live.resize(index + 1);
        Live& live = m_live[index];
        live.row.timedOut = state.silent;
        live.row.timeouts = state.timeouts;
        if (values.empty()) return;
        live.row.hasValue = true;
        live.row.value = values.back().value;
        live.row.time = values.back().time;
        live.points.insert(live.points.end(), values.begin(), values.end());
        if (live.points.size() > ui::SignalSnapshot::kMaxPoints)
          live.points.erase(
              live.points.begin(),
              live.points.end() - static_cast<std::ptrdiff_t>(ui::SignalSnapshot::kMaxPoints));
      });
  Publish(end);
}

void SignalMonitor::Publish(double seconds) {
  auto snapshot = std::make_shared<ui::SignalSnapshot>();
  snapshot->seconds = seconds;
  snapshot->rows.reserve(m_live.size());
  const double oldest = seconds - ui::SignalSnapshot::kWindowSeconds;
  for (std::size_t i = 0; i < m_live.size(); ++i) {
    Live& live = m_live[i];
    // The last point before the window stays: its value holds into the window.
    while (live.points.size() > 1 && live.points[1].time < oldest)
      live.points.pop_front();
    const SinkSignalReader::Signal& named = m_reader.signals()[i];
    ui::SignalRow row = live.row;
    row.series = {named.name, named.unit, {live.points.begin(), live.points.end()}};
    row.source = named.source;
    snapshot->rows.push_back(std::move(row));
  }
  snapshot->rows.insert(snapshot->rows.end(), m_extra.begin(), m_extra.end());
  std::sort(
      snapshot->rows.begin(), snapshot->rows.end(),
      [](const ui::SignalRow& a, const ui::SignalRow& b) { return a.series.name < b.series.name; });
  ui::SignalSnapshotPtr old;  // freed after the lock: a reader never waits for that
  host::MutexLock lock(m_mutex);
  old = std::exchange(m_published, std::move(snapshot));
}

ui::SignalSnapshotPtr SignalMonitor::Snapshot() const {
  host::MutexLock lock(m_mutex);
  return m_published;
}

}  // namespace app
