#include "host/slowsampling/CSlowSinkPlugin.h"

#include <algorithm>
#include <cassert>

#include "host/mfc/Win.h"
#include "host/paramdb/CPqParamInstance.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/valuelists/CDzPulsListe.h"
#include "host/valuelists/CFueGroeHopListe.h"

namespace {

// The parameter database's unit code of "1/min": signals in it are rates, recorded as pulses.
constexpr int kPerMinuteUnitCode = 18;

bool IsRate(CPqParamInstance& db, int number) {
  for (const AppSignalPropertyRow& row : db.AppSignalProperty())
    if (row.signal == number) return row.unitCode == kPerMinuteUnitCode;
  return false;
}

}  // namespace

CSlowSinkPlugin::CSlowSinkPlugin() : m_tables(std::make_unique<CPqParamInstance>(nullptr)) {}

CSlowSinkPlugin::~CSlowSinkPlugin() = default;

bool CSlowSinkPlugin::add_src(SlowSampling::CAsyncSource* source) {
  assert_configurable();
  if (source == nullptr || std::find(m_sources.begin(), m_sources.end(), source) != m_sources.end())
    return false;
  m_sources.push_back(source);
  m_sourceTable[source->id()];
  return true;
}

bool CSlowSinkPlugin::remove_src(SlowSampling::CAsyncSource* source) {
  assert_configurable();
  const auto it = std::find(m_sources.begin(), m_sources.end(), source);
  if (it == m_sources.end()) return false;
  m_sources.erase(it);
  // Another attached source may carry the id (the registry gave it again): its entry stays.
  if (std::none_of(m_sources.begin(), m_sources.end(),
                   [&](const SlowSampling::CAsyncSource* s) { return s->id() == source->id(); }))
    m_sourceTable.erase(source->id());
  return true;
}

void CSlowSinkPlugin::get_signals(SlowSampling::CClient& client) {
  for (SlowSampling::CAsyncSource* source : m_sources) {
    const auto it = m_sourceTable.find(source->id());
    if (it == m_sourceTable.end()) continue;
    for (const SlowSampling::CSignal& signal : it->second.signals)
      client.add_signal(source->id(), signal);
  }
}

// The plan is made here from the offered signals, which are [ui]'s; the states are changed where
// they are used.
void CSlowSinkPlugin::update_container() {
  StatePlan plan;
  plan.reserve(m_sourceTable.size());
  for (const auto& [id, entry] : m_sourceTable) {
    std::vector<Wanted> wanted;
    for (const SlowSampling::CSignal& signal : entry.signals)
      if (signal.m_number >= 0)
        wanted.push_back({signal.m_number, IsRate(*m_tables, signal.m_number)});
    plan.emplace_back(id, std::move(wanted));
  }
  stage([this, plan = std::move(plan), now = GetTickCount()] { apply_states(plan, now); });
}

void CSlowSinkPlugin::apply_states(const StatePlan& plan, std::uint32_t now) {
  for (const auto& item : plan) {
    const std::vector<Wanted>& wanted = item.second;  // clang before 16 cannot capture a binding
    const auto found = m_sourceTable.find(item.first);
    if (found == m_sourceTable.end()) continue;
    SinkSourceEntry& entry = found->second;
    std::erase_if(entry.states, [&](const auto& state) {
      return std::none_of(wanted.begin(), wanted.end(),
                          [&](const Wanted& w) { return w.number == state.first; });
    });
    for (const Wanted& w : wanted) {
      if (entry.states.contains(w.number)) continue;
      SinkSignalState& state = entry.states[w.number];
      if (w.rate)
        state.list = std::make_unique<CDzPulsListe>(w.number);
      else
        state.list = std::make_unique<CFueGroeHopListe>(w.number);
      state.lastTick = now;
    }
    entry.reindex();
  }
}

void CSlowSinkPlugin::stage(std::function<void()> apply, std::shared_ptr<void> keep) {
  release_adopted();
  if (!processing()) {
    apply();
    return;
  }
  host::MutexLock lock(m_stageLock);
  m_staged.push_back({std::move(apply), std::move(keep)});
  m_pending.store(true);
}

void CSlowSinkPlugin::adopt_staged() {
  if (!m_pending.load() && m_adoptedHere.empty()) return;
  if (!m_stageLock.try_lock()) return;
  std::vector<Staged> batch;
  {
    host::MutexLock lock(m_stageLock, std::adopt_lock);
    batch.swap(m_staged);
    m_pending.store(false);
    for (auto& kept : m_adoptedHere)
      m_adopted.push_back(std::move(kept));
  }
  m_adoptedHere.clear();
  for (Staged& staged : batch) {
    staged.apply();
    if (staged.keep) m_adoptedHere.push_back(std::move(staged.keep));
  }
  // Handed back at once when the UI is not staging, else with the next frame.
  if (m_adoptedHere.empty() || !m_stageLock.try_lock()) return;
  host::MutexLock lock(m_stageLock, std::adopt_lock);
  for (auto& kept : m_adoptedHere)
    m_adopted.push_back(std::move(kept));
  m_adoptedHere.clear();
}

void CSlowSinkPlugin::end_processing() {
  m_processing.store(false);
  std::vector<Staged> batch;
  {
    host::MutexLock lock(m_stageLock);
    batch.swap(m_staged);
    m_pending.store(false);
    m_adopted.clear();
  }
  m_adoptedHere.clear();
  for (Staged& staged : batch)
    staged.apply();
}

void CSlowSinkPlugin::release_adopted() {
  std::vector<std::shared_ptr<void>> released;
  host::MutexLock lock(m_stageLock);
  released.swap(m_adopted);
}

void CSlowSinkPlugin::assert_configurable() const {
  assert(!processing() && "configuration while the host feeds blocks: stage it");
}

const SinkSourceEntry* CSlowSinkPlugin::source_entry(int sourceId) const {
  const auto it = m_sourceTable.find(sourceId);
  return it == m_sourceTable.end() ? nullptr : &it->second;
}

CPqParamInstance& CSlowSinkPlugin::Tables() {
  return *m_tables;
}
