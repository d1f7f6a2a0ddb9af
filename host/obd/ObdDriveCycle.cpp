#include "host/obd/ObdDriveCycle.h"

#include <algorithm>
#include <array>

namespace XeCanAnalysis {
namespace {

constexpr double kIdleRpm = 800.0;
constexpr double kGearBandKmh = 20.0;
// rpm per km/h in gears 1..5; chosen so that every gear shifts up near 3000 rpm.
constexpr std::array<double, 5> kGearRatio = {150.0, 80.0, 55.0, 40.0, 28.0};

// One phase of the cycle: from `start` s on, speed moves linearly from `fromKmh` at `rate` km/h/s,
// with these pedal positions.
struct Phase {
  double start;
  double fromKmh;
  double rate;
  double load;
  double throttle;
};
constexpr std::array<Phase, 5> kPhases = {{
    {0.0, 0.0, 0.0, 20.0, 0.0},       // idle
    {1.0, 0.0, 8.0, 80.0, 60.0},      // acceleration
    {13.5, 100.0, 0.0, 35.0, 20.0},   // cruise
    {40.0, 100.0, -10.0, 10.0, 0.0},  // braking
    {50.0, 0.0, 0.0, 20.0, 0.0},      // idle
}};
static_assert(kPhases[1].fromKmh + kPhases[1].rate * (kPhases[2].start - kPhases[1].start) ==
              kPhases[2].fromKmh);
static_assert(kPhases[3].fromKmh + kPhases[3].rate * (kPhases[4].start - kPhases[3].start) ==
              kPhases[4].fromKmh);

double EngineRpm(double kmh) noexcept {
  const auto gear =
      std::min<std::size_t>(static_cast<std::size_t>(kmh / kGearBandKmh), kGearRatio.size() - 1);
  return std::max(kIdleRpm, kmh * kGearRatio[gear]);
}

}  // namespace

DriveState DriveCycle(std::int64_t ns) noexcept {
  ns = std::max<std::int64_t>(ns, 0);
  const double cycle = static_cast<double>(ns % kCycleNs) * 1e-9;
  const double total = static_cast<double>(ns) * 1e-9;
  std::size_t p = kPhases.size() - 1;
  while (cycle < kPhases[p].start)
    --p;
  const Phase& phase = kPhases[p];
  const double kmh = phase.fromKmh + phase.rate * (cycle - phase.start);
  DriveState s{};
  s.speedKmh = kmh;
  s.engineRpm = EngineRpm(kmh);
  s.coolantC = std::min(90.0, 20.0 + total * (70.0 / 300.0));
  s.loadPercent = phase.load;
  s.throttlePercent = phase.throttle;
  s.intakeAirC = 25.0 + (s.coolantC - 20.0) * 0.1;
  s.fuelPercent = std::max(5.0, 75.0 - total * 0.01);
  s.ambientC = 20.0;
  return s;
}

}  // namespace XeCanAnalysis
