#include "app/SinkSignalReader.h"

#include "host/paramdb/CPqParamInstance.h"
#include "host/slowsampling/CAsyncSource.h"

namespace app {

std::size_t SinkSignalReader::IndexOf(CSlowSinkPlugin& sink,
                                      const SlowSampling::CAsyncSource& source, int number) {
  const auto [it, added] = m_index.try_emplace({source.id(), number}, m_signals.size());
  if (!added) return it->second;
  Signal signal{sink.Tables().ApplicationSignalName(number).ToUtf8(),
                sink.Tables().UnitText(number).ToUtf8(), source.name().ToUtf8()};
  bool shared = false;
  for (std::size_t i = 0; i < m_signals.size(); ++i) {
    if (m_numbers[i] != number) continue;
    // A second source of the same signal: both names say where their values come from.
    if (m_signals[i].name == signal.name) m_signals[i].name += " (" + m_signals[i].source + ")";
    shared = true;
  }
  if (shared) signal.name += " (" + signal.source + ")";
  m_signals.push_back(std::move(signal));
  m_numbers.push_back(number);
  return it->second;
}

void SinkSignalReader::Read(std::uint64_t frame, CSlowSinkPlugin& sink, const Visit& visit) {
  // Names first: every signal is known before any value of this frame is handed on.
  for (SlowSampling::CAsyncSource* source : sink.sources())
    if (const SinkSourceEntry* entry = sink.source_entry(source->id()))
      for (const auto& state : entry->states)
        IndexOf(sink, *source, state.first);
  const auto frameRate = static_cast<float>(1.0 / m_samplePeriod);
  const double first = static_cast<double>(frame) * m_samplesPerFrame;
  for (SlowSampling::CAsyncSource* source : sink.sources()) {
    const SinkSourceEntry* entry = sink.source_entry(source->id());
    if (entry == nullptr) continue;
    for (const auto& [number, state] : entry->states) {
      m_values.clear();
      std::uint64_t at = 0;
      for (const CFueGroeListeBasis::Entry& e : state.list->entries()) {
        at += e.length;
        if (at >= m_samplesPerFrame) break;
        m_values.push_back({(first + static_cast<double>(at)) * m_samplePeriod,
                            state.list->output_value(e.value, frameRate)});
      }
      visit(m_index.at({source->id(), number}), state, m_values);
    }
  }
}

}  // namespace app
