#include "app/SignalRecorder.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "host/paramdb/CPqParamInstance.h"
#include "host/slowsampling/CAsyncSource.h"

namespace app {
namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

bool SignalRecorder::Open(const std::filesystem::path& file, std::string& error) {
  if (!m_out.Open(file, error)) return false;
  m_buffer.resize(kBufferBytes);
  std::setvbuf(m_out.stream(), m_buffer.data(), _IOFBF, m_buffer.size());
  std::fputs("time,signal,value,unit\n", m_out.stream());
  return true;
}

SignalRecorder::Signal& SignalRecorder::SignalOf(CSlowSinkPlugin& sink, int number) {
  const auto [it, added] = m_signals.try_emplace(number);
  if (added) {
    it->second.name = Field(sink.Tables().ApplicationSignalName(number).ToUtf8());
    it->second.unit = Field(sink.Tables().UnitText(number).ToUtf8());
  }
  return it->second;
}

void SignalRecorder::AddValue(Signal& signal, double time, double value) {
  signal.min = signal.values == 0 ? value : std::min(signal.min, value);
  signal.max = signal.values == 0 ? value : std::max(signal.max, value);
  signal.last = value;
  ++signal.values;
  if (!m_out.good()) return;
  std::FILE* out = m_out.stream();
  // to_chars with precision 17 writes exactly what "%.17g" writes, several times faster.
  char row[128];
  char* end = std::to_chars(row, row + 32, time, std::chars_format::general, 17).ptr;
  *end++ = ',';
  std::fwrite(row, 1, static_cast<std::size_t>(end - row), out);
  std::fwrite(signal.name.data(), 1, signal.name.size(), out);
  end = row;
  *end++ = ',';
  end = std::to_chars(end, row + 40, value, std::chars_format::general, 17).ptr;
  *end++ = ',';
  std::fwrite(row, 1, static_cast<std::size_t>(end - row), out);
  std::fwrite(signal.unit.data(), 1, signal.unit.size(), out);
  if (std::fputc('\n', out) == EOF) m_out.fail();
}

void SignalRecorder::AddFrame(std::uint64_t frame, CSlowSinkPlugin& sink) {
  const float frameRate = static_cast<float>(1.0 / m_samplePeriod);
  const double first = static_cast<double>(frame) * m_samplesPerFrame;
  for (SlowSampling::CAsyncSource* source : sink.sources()) {
    const SinkSourceEntry* entry = sink.source_entry(source->id());
    if (entry == nullptr) continue;
    for (const auto& [number, state] : entry->states) {
      Signal& signal = SignalOf(sink, number);
      signal.timeouts = std::max(signal.timeouts, state.timeouts);
      std::uint64_t at = 0;
      for (const CFueGroeListeBasis::Entry& e : state.list->entries()) {
        at += e.length;
        // Entries at the frame's end only complete the list.
        if (at >= m_samplesPerFrame) break;
        const double time = (first + static_cast<double>(at)) * m_samplePeriod;
        AddValue(signal, time, state.list->output_value(e.value, frameRate));
      }
    }
  }
}

bool SignalRecorder::Close(std::string& error) {
  return m_out.Close(error);
}

std::vector<SignalRecorder::Signal> SignalRecorder::Signals() const {
  std::vector<Signal> out;
  for (const auto& [number, signal] : m_signals)
    out.push_back(signal);
  std::sort(out.begin(), out.end(),
            [](const Signal& a, const Signal& b) { return a.name < b.name; });
  return out;
}

}  // namespace app
