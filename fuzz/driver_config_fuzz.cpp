// libFuzzer target: any driver configuration text gives channels and generators whose clocks and
// frames stay in range at any time a measurement can reach, and every wrong line is reported.
// The channel window's model writes any text back byte for byte, and what it writes after a change
// of every row, when it finds no problem, is read by the driver as its rows say.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "host/candriver/DriverConfig.h"
#include "host/candriver/DriverConfigModel.h"
#include "host/candriver/DriverLog.h"

using namespace XeCanDriverKvaser;
using namespace XeCanDriverKvaser::detail;
using fuzz::Check;

namespace {

std::size_t g_reports = 0;

void CheckModel(std::string_view text) {
  DriverConfigModel model("/nonexistent/candriver.conf", text);
  Check(model.Text() == text);
  // Every row changed: its line is written anew (its comment kept).
  for (std::size_t r = 0; r < model.Channels().size(); ++r)
    model.SetChannel(r, DriverConfigModel::Drift, model.Channels()[r].drift.empty() ? "1" : "");
  for (std::size_t r = 0; r < model.Generators().size(); ++r)
    model.SetGenerator(r, DriverConfigModel::Data,
                       model.Generators()[r].data == "ramp" ? "counter" : "ramp");
  if (!model.Problems().empty()) return;
  const DriverConfig written = DriverConfig::Parse(model.Text(), "written", "/nonexistent");
  Check(written.channels().size() == model.Channels().size());
  Check(written.generators().size() == model.Generators().size());
}

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
  CheckModel(text);
  return 0;
}
