#include "host/ui/MessageTracker.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ui {

MessageTracker::MessageTracker() : m_published(std::make_shared<MessageSnapshot>()) {}

void MessageTracker::Restart() {
  m_entries.clear();
  m_windowStart = 0.0;
  m_unlisted = 0;
  host::MutexLock lock(m_mutex);
  m_published = std::make_shared<MessageSnapshot>();
}

void MessageTracker::Add(int channel, std::uint32_t id, int length, const std::uint8_t* data,
                         double time) {
  const int n = std::clamp(length, 0, kMaxMessageBytes);
  const std::uint64_t key = Key(channel, id);
  if (m_entries.size() >= kMaxRows && m_entries.find(key) == m_entries.end()) {
    ++m_unlisted;
    return;
  }
  auto [it, inserted] = m_entries.try_emplace(key);
  MessageStat& s = it->second.stat;
  if (inserted) {
    s.channel = channel;
    s.id = id;
    s.changed.fill(kNeverChanged);
  } else {
    // A byte the last message did not carry counts as changed: it is new on the screen.
    for (int i = 0; i < n; ++i)
      if (i >= s.length || s.data[static_cast<std::size_t>(i)] != data[i])
        s.changed[static_cast<std::size_t>(i)] = static_cast<float>(time);
  }
  std::memcpy(s.data.data(), data, static_cast<std::size_t>(n));
  s.length = n;
  s.last = time;
  ++s.count;
}

void MessageTracker::Publish(double seconds) {
  const double span = seconds - m_windowStart;
  const bool windowEnds = span >= kRateWindowSeconds;
  auto snapshot = std::make_shared<MessageSnapshot>();
  snapshot->seconds = seconds;
  snapshot->unlisted = m_unlisted;
  snapshot->rows.reserve(m_entries.size());
  for (auto& [key, entry] : m_entries) {
    if (windowEnds) {
      entry.stat.rate = static_cast<double>(entry.stat.count - entry.windowBase) / span;
      entry.windowBase = entry.stat.count;
    }
    snapshot->rows.push_back(entry.stat);
  }
  if (windowEnds) m_windowStart = seconds;
  MessageSnapshotPtr old;  // freed after the lock: a reader never waits for that
  host::MutexLock lock(m_mutex);
  old = std::exchange(m_published, std::move(snapshot));
}

MessageSnapshotPtr MessageTracker::Snapshot() const {
  host::MutexLock lock(m_mutex);
  return m_published;
}

}  // namespace ui
