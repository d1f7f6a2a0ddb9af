#pragma once
// Reads the decoded values out of the sink's value lists after a frame, for everything that shows
// or records them (the CSV of --signals, the summary, the live view, the plot).
//
// A signal is one application signal of one source. Two sources whose channels deliver the same
// application signal give two signals; their names carry the source to tell them apart:
//   "Engine speed" from CAN 0 only                 -> "Engine speed"
//   "Engine speed" from CAN 0 and from CAN 2       -> "Engine speed (CAN 0)", "Engine speed (CAN 2)"
// Every source's signals are known before the first frame's values, so a name never changes
// during a measurement.
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/ui/SignalSnapshot.h"

namespace app {

class SinkSignalReader {
 public:
  struct Signal {
    std::string name;    // see above
    std::string unit;    // the parameter database's unit text
    std::string source;  // name of the delivering source
  };
  // fn(signal index, state of the signal, the frame's values in time order).
  using Visit =
      std::function<void(std::size_t, const SinkSignalState&, std::span<const ui::PlotPoint>)>;

  SinkSignalReader(double samplePeriod, unsigned samplesPerFrame);

  // [processing] Calls `visit` for every signal of every source of `sink` with the values frame
  // `frame` (0 = the first) decoded, each at the slow sample of its packet and as the decoder
  // delivered it (SinkSourceEntry::values), two in one slow sample included.
  void Read(std::uint64_t frame, CSlowSinkPlugin& sink, const Visit& visit);
  // [any, while no Read runs] The signals seen so far; an index stays valid.
  const std::vector<Signal>& signals() const noexcept { return m_signals; }

 private:
  std::size_t IndexOf(CSlowSinkPlugin& sink, const SlowSampling::CAsyncSource& source, int number);
  // The index of each of the source's signals, in the order of its states; made when they change.
  const std::vector<std::size_t>& Indices(CSlowSinkPlugin& sink,
                                          const SlowSampling::CAsyncSource& source,
                                          const SinkSourceEntry& entry);

  // Seconds of slow sample `sample`: a division by a whole rate gives the double nearest the
  // decimal time (207 / 1000.0 is 0.207, 207 * 0.001 is 0.20700000000000002), so the times
  // print short.
  double TimeOf(double sample) const noexcept {
    return m_samplesPerSecond > 0.0 ? sample / m_samplesPerSecond : sample * m_samplePeriod;
  }

  double m_samplePeriod;
  double m_samplesPerSecond = 0.0;  // 1 / period when that is a whole number, else 0
  unsigned m_samplesPerFrame;
  std::map<std::pair<int, int>, std::size_t> m_index;  // (source id, signal number) -> index
  std::vector<Signal> m_signals;
  std::vector<int> m_numbers;                         // application signal number of each index
  std::map<int, std::vector<std::size_t>> m_indices;  // source id -> Indices()
  std::vector<ui::PlotPoint> m_values;  // one frame's values of one source, by signal; reused
  std::vector<std::size_t> m_offsets;   // where each signal's values begin in m_values
  std::vector<std::size_t> m_next;      // where the next value of each signal goes
};

}  // namespace app
