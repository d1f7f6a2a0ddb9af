#include "app/SinkSignalReader.h"

#include <cmath>

#include "host/paramdb/CPqParamInstance.h"
#include "host/slowsampling/CAsyncSource.h"

namespace app {

SinkSignalReader::SinkSignalReader(double samplePeriod, unsigned samplesPerFrame)
    : m_samplePeriod(samplePeriod), m_samplesPerFrame(samplesPerFrame) {
  const double rate = 1.0 / samplePeriod;
  const double whole = std::round(rate);
  if (whole >= 1.0 && std::abs(rate - whole) <= 1e-9 * whole) m_samplesPerSecond = whole;
}

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

const std::vector<std::size_t>& SinkSignalReader::Indices(CSlowSinkPlugin& sink,
                                                          const SlowSampling::CAsyncSource& source,
                                                          const SinkSourceEntry& entry) {
  // A source's signals only ever grow in number: the same count means the same signals.
  std::vector<std::size_t>& indices = m_indices[source.id()];
  if (indices.size() == entry.states.size()) return indices;
  indices.clear();
  for (const auto& state : entry.states)
    indices.push_back(IndexOf(sink, source, state.first));
  return indices;
}

void SinkSignalReader::Read(std::uint64_t frame, CSlowSinkPlugin& sink, const Visit& visit) {
  // Names first: every signal is known before any value of this frame is handed on.
  for (SlowSampling::CAsyncSource* source : sink.sources())
    if (const SinkSourceEntry* entry = sink.source_entry(source->id()))
      Indices(sink, *source, *entry);
  const double first = static_cast<double>(frame) * m_samplesPerFrame;
  for (SlowSampling::CAsyncSource* source : sink.sources()) {
    const SinkSourceEntry* entry = sink.source_entry(source->id());
    if (entry == nullptr) continue;
    const std::vector<std::size_t>& indices = m_indices[source->id()];
    // The entry's log holds the values of all its signals in decoding order: grouped here by
    // signal in two passes (count, then place), each signal's values keep their order.
    const std::size_t signals = entry->states.size();
    m_offsets.assign(signals + 1, 0);
    for (const SinkSourceEntry::Value& v : entry->values)
      if (v.ordinal < signals) ++m_offsets[v.ordinal + 1];
    for (std::size_t k = 0; k < signals; ++k)
      m_offsets[k + 1] += m_offsets[k];
    m_values.resize(m_offsets[signals]);
    m_next.assign(m_offsets.begin(), m_offsets.end() - 1);
    for (const SinkSourceEntry::Value& v : entry->values)
      if (v.ordinal < signals)
        m_values[m_next[v.ordinal]++] = {TimeOf(first + static_cast<double>(v.frame)), v.value};
    std::size_t i = 0;
    for (const auto& state : entry->states) {
      const std::size_t k = state.second.ordinal;
      std::span<const ui::PlotPoint> values;
      if (k < signals) values = {m_values.data() + m_offsets[k], m_offsets[k + 1] - m_offsets[k]};
      visit(indices[i++], state.second, values);
    }
  }
}

}  // namespace app
