#pragma once
// A signed-in source and a sink whose value lists and decoded values a test fills as the CAN sink
// would after a block.
#include "host/slowsampling/CAsyncSource.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/slowsampling/CSourceInfo.h"

namespace testing_support {

class Source : public SlowSampling::CAsyncSource {
 public:
  explicit Source(const wchar_t* name = L"source") : CAsyncSource(nullptr, name) {
    SlowSampling::CSourceInfo::SourceInfo().signin(this);
  }
};

// Signals 1 (engine speed: a pulse list) and 3 (coolant temperature: a hop list) of each source.
class FilledSink : public CSlowSinkPlugin {
 public:
  explicit FilledSink(Source& source) { Add(source); }
  FilledSink(Source& first, Source& second) {
    Add(first);
    Add(second);
  }
  // [ui] The list of `signal` of `source`.
  CFueGroeListeBasis& List(const Source& source, int signal) {
    return *m_sourceTable.at(source.id()).states.at(signal).list;
  }
  SinkSignalState& State(const Source& source, int signal) {
    return m_sourceTable.at(source.id()).states.at(signal);
  }
  // [ui] A decoded value of `signal` of `source` in the block (what the host reads).
  void Put(const Source& source, int signal, std::uint32_t frame, double value) {
    SinkSourceEntry& entry = m_sourceTable.at(source.id());
    entry.values.push_back({entry.states.at(signal).ordinal, frame, value});
  }
  // [ui] The block holds no decoded values of `source`.
  void ClearValues(const Source& source) { m_sourceTable.at(source.id()).values.clear(); }
  // [ui] Binds one more source with the two signals.
  void Add(Source& source) {
    add_src(&source);
    m_sourceTable[source.id()].signals = {{L"rpm", 1}, {L"temp", 3}};
    update_container();
  }
};

}  // namespace testing_support
