// libFuzzer target: any driver configuration text gives channels and generators whose clocks and
// frames stay in range at any time a measurement can reach, and every wrong line is reported.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/DriverLog.h"

using namespace XeCanDriverKvaser;
using namespace XeCanDriverKvaser::detail;
using fuzz::Check;

namespace {
std::size_t g_reports = 0;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLoggingFunction([](const wchar_t*) { ++g_reports; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  g_reports = 0;
  const DriverConfig config = DriverConfig::Parse(text, "candriver.conf", "/nonexistent");
  // A line is a channel, a generator or a report; a generator no channel listens to, one more.
  std::size_t lines = 1;
  for (const char c : text)
    lines += c == '\n';
  Check(config.channels().size() + g_reports <= lines);

  // Host times from the start to a year of measurement, and a little before the start.
  constexpr std::int64_t kTimes[] = {-1'000'000'000, 0, 123'456'789, 31'536'000'000'000'000};
  for (const ChannelConfig& c : config.channels()) {
    Check(c.channel >= 0 && c.channel <= 255 && !c.backend.empty());
    Check(c.clock.driftPpb >= -1'000'000 && c.clock.driftPpb <= 1'000'000);
    for (const std::int64_t t : kTimes)
      (void)c.clock.TicksAt(t);
  }
  for (const GeneratorConfig& g : config.generators()) {
    const TrafficGenerator& gen = g.generator;
    Check(gen.periodNs() > 0 && gen.frames() > 0);
    for (const std::int64_t t : kTimes) {
      const std::int64_t k = gen.FirstPeriodAfter(t);
      Check(gen.DueNs(k) > t && gen.DueNs(k - 1) <= t);
      CanMessage message;
      for (std::size_t i = 0; i < gen.frames(); ++i) {
        gen.Fill(k, i, message);
        Check(NormaliseMessage(message));
      }
    }
  }
  return 0;
}
