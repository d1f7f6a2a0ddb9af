#include "app/SignalRecorder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "app/CsvWriter.h"

namespace app {
namespace {

// Halves `points`: of each four, the lowest and the highest value stay, in their order. A point
// that is not a number (a gap in the curve) stays too: a gap is never thinned away, and NaN takes
// no part in the comparisons.
void Thin(std::vector<ui::PlotPoint>& points) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < points.size(); i += 4) {
    const std::size_t end = std::min(i + 4, points.size());
    std::size_t low = end, high = end, gap = end;
    for (std::size_t k = i; k < end; ++k) {
      const double v = points[k].value;
      if (std::isnan(v)) {
        if (gap == end) gap = k;
      } else {
        if (low == end || v < points[low].value) low = k;
        if (high == end || v > points[high].value) high = k;
      }
    }
    std::size_t stay[3] = {gap, low, high};
    std::sort(stay, stay + 3);
    for (std::size_t j = 0; j < 3; ++j)
      if (stay[j] != end && (j == 0 || stay[j] != stay[j - 1])) points[kept++] = points[stay[j]];
  }
  points.resize(kept);
}

}  // namespace

bool SignalRecorder::Open(const std::filesystem::path& file, std::string& error,
                          const std::function<bool()>& stop, const std::function<void()>& waiting) {
  return m_out.Open(file, error, stop, waiting);
}

bool SignalRecorder::Begin(std::string& error) {
  if (!m_out.Begin(error)) return false;
  // Without a file the values are still counted.
  if (!m_out.good()) return true;
  m_out.Append("time,signal,value,unit\n");
  if (!m_out.Flush()) {
    m_failed = true;
    return true;
  }
  m_block = &m_inline;
  if (m_background)
    m_queue =
        std::make_unique<BlockQueue<Block>>(kQueuedFrames, [this](Block& block) { Write(block); });
  return true;
}

void SignalRecorder::AddValue(std::size_t index, double time, double value) {
  Signal& signal = m_signals[index];
  if (std::isfinite(value)) {
    const bool first = signal.values == signal.nonFinite;
    signal.min = first ? value : std::min(signal.min, value);
    signal.max = first ? value : std::max(signal.max, value);
  } else {
    ++signal.nonFinite;
  }
  signal.last = value;
  ++signal.values;
  if (m_block != nullptr) m_block->rows.push_back({index, time, value});
}

void SignalRecorder::Write(Block& block) {
  for (RowText& text : block.added)
    m_rowText.push_back(std::move(text));
  if (!m_out.good()) {
    m_failed = true;
    return;
  }
  // Written in place: four appends per row were a sixth of this thread's time.
  std::string& out = m_out.Text();
  std::size_t used = out.size();
  for (const Row& row : block.rows) {
    const RowText& text = m_rowText[row.index];
    const std::size_t room = 2 * CsvWriter::kNumberRoom + text.middle.size() + text.end.size();
    if (out.size() - used < room) out.resize(std::max(2 * out.size(), used + room));
    char* at = m_times.Write(out.data() + used, row.time);
    at = std::copy(text.middle.begin(), text.middle.end(), at);
    at = CsvWriter::FormatNumber(at, row.value);
    at = std::copy(text.end.begin(), text.end.end(), at);
    used = static_cast<std::size_t>(at - out.data());
  }
  out.resize(used);
  if (!out.empty() && !m_out.Flush()) m_failed = true;
}

void SignalRecorder::AddFrame(std::uint64_t frame, CSlowSinkPlugin& sink) {
  if (m_block != nullptr && !m_gathering) {
    m_block = m_queue ? &m_queue->Back() : &m_inline;
    m_block->rows.clear();
    m_block->added.clear();
  }
  m_reader.Read(
      frame, sink,
      [this](std::size_t index, const SinkSignalState& state,
             std::span<const ui::PlotPoint> values) {
        while (m_signals.size() <= index) {
          const SinkSignalReader::Signal& named = m_reader.signals()[m_signals.size()];
          m_signals.push_back({CsvWriter::Field(named.name), CsvWriter::Field(named.unit)});
        }
        Signal& signal = m_signals[index];
        signal.timeouts = std::max(signal.timeouts, state.timeouts);
        for (const ui::PlotPoint& point : values)
          AddValue(index, point.time, point.value);
        if (!m_keepSeries) return;
        m_series.resize(m_signals.size());
        std::vector<ui::PlotPoint>& series = m_series[index];
        series.insert(series.end(), values.begin(), values.end());
        if (series.size() > kMaxSeriesPoints) Thin(series);
      });
  if (m_block == nullptr) return;
  // The writer learns a signal's texts in the block of the frame that first has it.
  for (; m_textsHanded < m_signals.size(); ++m_textsHanded) {
    const Signal& added = m_signals[m_textsHanded];
    m_block->added.push_back({',' + added.name + ',', ',' + added.unit + '\n'});
  }
  if (!m_queue) {
    Write(*m_block);
  } else {
    m_gathering = m_block->rows.size() < m_batchRows;
    if (!m_gathering) m_queue->Push();
  }
  // A failed output is written no more; the values are still counted.
  if (!good()) m_block = nullptr;
}

bool SignalRecorder::Close(std::string& error) {
  // Every frame handed over is written before the file closes, the gathered ones too.
  if (m_gathering && m_block != nullptr) m_queue->Push();
  m_gathering = false;
  m_queue.reset();
  m_block = nullptr;
  return m_out.Close(error);
}

std::vector<SignalRecorder::Signal> SignalRecorder::Signals() const {
  std::vector<Signal> out = m_signals;
  std::sort(out.begin(), out.end(),
            [](const Signal& a, const Signal& b) { return a.name < b.name; });
  return out;
}

std::vector<ui::PlotSeries> SignalRecorder::Series() const {
  std::vector<ui::PlotSeries> out;
  for (std::size_t i = 0; i < m_series.size(); ++i) {
    if (m_series[i].empty()) continue;
    const SinkSignalReader::Signal& named = m_reader.signals()[i];
    out.push_back({named.name, named.unit, m_series[i]});
  }
  std::sort(out.begin(), out.end(),
            [](const ui::PlotSeries& a, const ui::PlotSeries& b) { return a.name < b.name; });
  return out;
}

}  // namespace app
