#include "app/RunSummary.h"

#include <cstdio>

namespace app {
namespace {

std::string Row(const char* label, const SlowSampling::SourceStatistics& s,
                const std::string& name) {
  char text[160];
  std::snprintf(
      text, sizeof text, "%7s %10llu %10llu %9llu %9llu %9llu %9llu %9llu", label,
      static_cast<unsigned long long>(s.received), static_cast<unsigned long long>(s.delivered),
      static_cast<unsigned long long>(s.old), static_cast<unsigned long long>(s.noRoom),
      static_cast<unsigned long long>(s.future), static_cast<unsigned long long>(s.waiting),
      static_cast<unsigned long long>(s.overflow));
  std::string row = text;
  if (!name.empty()) row += "  " + name;
  return row + "\n";
}

}  // namespace

std::string RunSummary::Format(const std::vector<SlowSampling::SourceStatistics>& rows) const {
  const double measured = static_cast<double>(frames) * frameSeconds;
  char text[200];
  const std::string how =
      !stoppedBy.empty() ? "stopped by " + stoppedBy : (fast ? "fast" : "real time");
  std::snprintf(text, sizeof text, "canhost run: %llu frames of %.3f s = %.3f s, %s\n",
                static_cast<unsigned long long>(frames), frameSeconds, measured, how.c_str());
  std::string out = text;
  out +=
      "channel   received  delivered       old   no room    future   waiting  overflow  source\n";
  SlowSampling::SourceStatistics total;
  for (const auto& row : rows) {
    out += Row(std::to_string(row.channel).c_str(), row, row.name.ToUtf8());
    total.received += row.received;
    total.delivered += row.delivered;
    total.old += row.old;
    total.noRoom += row.noRoom;
    total.future += row.future;
    total.waiting += row.waiting;
    total.overflow += row.overflow;
  }
  out += Row("total", total, std::string());
  const auto delivered = static_cast<double>(total.delivered);
  std::snprintf(text, sizeof text,
                "effective rate: %.1f messages/s of measurement, %.1f messages/s of wall-clock "
                "time\n",
                measured > 0.0 ? delivered / measured : 0.0,
                wallSeconds > 0.0 ? delivered / wallSeconds : 0.0);
  return out + text;
}

std::string RunSummary::FormatSignals(const std::vector<SignalRecorder::Signal>& signals,
                                      const SlowSampling::SinkStatistics& sink) {
  std::string out;
  char text[320];
  if (!signals.empty()) {
    std::snprintf(text, sizeof text, "%-27s %-8s %9s %13s %13s %13s %10s\n", "signal", "unit",
                  "values", "last", "min", "max", "time-outs");
    out += text;
  }
  for (const auto& s : signals) {
    std::snprintf(text, sizeof text, "%-27s %-8s %9llu %13.6g %13.6g %13.6g %10u\n", s.name.c_str(),
                  s.unit.c_str(), static_cast<unsigned long long>(s.values), s.last, s.min, s.max,
                  s.timeouts);
    out += text;
  }
  std::snprintf(
      text, sizeof text, "packets decoded: %llu, left out (first slow sample of a frame): %llu\n",
      static_cast<unsigned long long>(sink.decoded), static_cast<unsigned long long>(sink.leftOut));
  return out + text;
}

}  // namespace app
