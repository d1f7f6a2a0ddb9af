#include "app/ChartedDbcSignals.h"

#include <utility>

namespace app {

std::string ChartedDbcSignals::Key(int channel, std::uint32_t id, const std::string& name) {
  return std::to_string(channel) + ":" + std::to_string(id) + ":" + name;
}

bool ChartedDbcSignals::Chart(const MessageDictionary& dictionary, int channel, std::uint32_t id,
                              const std::string& name, bool on) {
  const std::string key = Key(channel, id, name);
  if (!on) {
    if (m_choices.erase(key) == 0) return true;
  } else {
    const auto found = dictionary.Find(channel, id, name);
    if (!found) return false;
    m_choices[key] = Choice{channel, id, name, *found};
  }
  Offer();
  return true;
}

void ChartedDbcSignals::Offer() {
  auto offered = std::make_shared<Choices>();
  for (const auto& [k, choice] : m_choices)
    offered->push_back(choice);
  host::MutexLock lock(m_mutex);
  m_offered = std::move(offered);
}

bool ChartedDbcSignals::Charted(int channel, std::uint32_t id, const std::string& name) const {
  return m_choices.count(Key(channel, id, name)) != 0;
}

void ChartedDbcSignals::Restart(const MessageDictionary& dictionary) {
  m_live.clear();
  for (auto it = m_choices.begin(); it != m_choices.end();) {
    Choice& c = it->second;
    if (auto found = dictionary.Find(c.channel, c.id, c.name)) {
      c.signal = *std::move(found);
      ++it;
    } else {
      it = m_choices.erase(it);
    }
  }
  Offer();
}

void ChartedDbcSignals::BeginFrame() {
  host::MutexLock lock(m_mutex);
  m_adopted = m_offered;
}

void ChartedDbcSignals::Add(int channel, std::uint32_t id, const std::uint8_t* data, int length,
                            double time) {
  if (!m_adopted) return;
  for (const Choice& c : *m_adopted) {
    if (c.channel != channel || c.id != id) continue;
    Live* live = nullptr;
    c.signal.file->decoder.Decode(id, data, length, [&](std::uint32_t flat, double value) {
      if (flat != c.signal.flat) return;
      if (live == nullptr) live = &m_live[Key(channel, id, c.name)];
      live->points.push_back({time, value});
      live->row.hasValue = true;
      live->row.value = value;
      live->row.time = time;
    });
  }
}

std::vector<std::string> ChartedDbcSignals::RowNames(const Choices& choices) {
  std::map<std::string, int> uses;
  for (const Choice& c : choices)
    ++uses[c.name];
  std::vector<std::string> names;
  names.reserve(choices.size());
  for (const Choice& c : choices)
    names.push_back(uses[c.name] > 1 ? c.name + " (CAN " + std::to_string(c.channel) + ")"
                                     : c.name);
  return names;
}

std::vector<ui::SignalRow> ChartedDbcSignals::Rows(double seconds) {
  std::vector<ui::SignalRow> rows;
  if (!m_adopted) return rows;
  const std::vector<std::string> names = RowNames(*m_adopted);
  const double oldest = seconds - ui::SignalSnapshot::kWindowSeconds;
  std::map<std::string, Live> kept;
  for (std::size_t i = 0; i < m_adopted->size(); ++i) {
    const Choice& c = (*m_adopted)[i];
    const std::string key = Key(c.channel, c.id, c.name);
    Live live;
    if (const auto it = m_live.find(key); it != m_live.end()) live = std::move(it->second);
    // The last point before the window stays: its value holds into the window.
    while (live.points.size() > 1 &&
           (live.points[1].time < oldest || live.points.size() > ui::SignalSnapshot::kMaxPoints))
      live.points.pop_front();
    ui::SignalRow row = live.row;
    row.series = {names[i], c.signal.unit, {live.points.begin(), live.points.end()}};
    row.source = "CAN " + std::to_string(c.channel);
    row.fromMessageList = true;
    rows.push_back(std::move(row));
    kept.emplace(key, std::move(live));
  }
  // Signals no longer charted are forgotten.
  m_live = std::move(kept);
  return rows;
}

}  // namespace app
