#include "host/slowsampling/CSlowSinkPlugin.h"

#include <algorithm>

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
  if (source == nullptr || std::find(m_sources.begin(), m_sources.end(), source) != m_sources.end())
    return false;
  m_sources.push_back(source);
  m_sourceTable[source->id()];
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

void CSlowSinkPlugin::update_container() {
  const DWORD now = GetTickCount();
  for (auto& item : m_sourceTable) {
    SinkSourceEntry& entry = item.second;
    std::erase_if(entry.states, [&](const auto& state) {
      return std::none_of(entry.signals.begin(), entry.signals.end(),
                          [&](const auto& s) { return s.m_number == state.first; });
    });
    for (const SlowSampling::CSignal& signal : entry.signals) {
      if (signal.m_number < 0 || entry.states.contains(signal.m_number)) continue;
      SinkSignalState& state = entry.states[signal.m_number];
      if (IsRate(*m_tables, signal.m_number))
        state.list = std::make_unique<CDzPulsListe>(signal.m_number);
      else
        state.list = std::make_unique<CFueGroeHopListe>(signal.m_number);
      state.lastTick = now;
    }
    entry.reindex();
  }
}

const SinkSourceEntry* CSlowSinkPlugin::source_entry(int sourceId) const {
  const auto it = m_sourceTable.find(sourceId);
  return it == m_sourceTable.end() ? nullptr : &it->second;
}

CPqParamInstance& CSlowSinkPlugin::Tables() {
  return *m_tables;
}
