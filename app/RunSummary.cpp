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
    std::snprintf(text, sizeof text, "%-27s %-8s %9s %13s %13s %13s %8s %10s\n", "signal", "unit",
                  "values", "last", "min", "max", "nan/inf", "time-outs");
    out += text;
  }
  for (const auto& s : signals) {
    // Min and max are of the finite values: a signal with none has neither.
    char min[32] = "-";
    char max[32] = "-";
    if (s.values > s.nonFinite) {
      std::snprintf(min, sizeof min, "%.6g", s.min);
      std::snprintf(max, sizeof max, "%.6g", s.max);
    }
    std::snprintf(text, sizeof text, "%-27s %-8s %9llu %13.6g %13s %13s %8llu %10u\n",
                  s.name.c_str(), s.unit.c_str(), static_cast<unsigned long long>(s.values), s.last,
                  min, max, static_cast<unsigned long long>(s.nonFinite), s.timeouts);
    out += text;
  }
  std::snprintf(text, sizeof text,
                "packets decoded: %llu, values that shared a slow sample with an earlier one of "
                "their signal: %llu\n",
                static_cast<unsigned long long>(sink.decoded),
                static_cast<unsigned long long>(sink.sharedFrame));
  return out + text;
}

}  // namespace app
