#pragma once
// The simulated vehicle's drive cycle: what the OBD-II simulator reports at a host time. A pure
// function of the host clock, so that a test (or a check of a recorded run) computes the value
// any answer must carry.
//
// One cycle lasts kCycleNs and repeats (cycle time c = host time mod kCycleNs):
//   c in [ 0, 10) s  idle           0 km/h, 800 rpm
//   c in [10, 30) s  acceleration   0 -> 100 km/h at 5 km/h/s through gears 1..5
//   c in [30, 45) s  cruise         100 km/h in 5th gear
//   c in [45, 55) s  braking        100 -> 0 km/h at 10 km/h/s, gears down
//   c in [55, 60) s  idle
// Engine speed = max(800, speed x ratio of the gear), gear g holding speeds [20(g-1), 20g) km/h:
//   t = 14 s -> 20 km/h, gear 2 -> 1600 rpm      t = 35 s -> 100 km/h -> 2800 rpm
// Temperatures and fuel follow the host time since the clock's epoch, not the cycle: the coolant
// warms from 20 to 90 degC over the first 5 minutes, the tank empties by 0.01 % per second from 75
// % down to 5 %.
#include <cstdint>

namespace XeCanAnalysis {

struct DriveState {
  double engineRpm;        // rpm
  double speedKmh;         // km/h
  double coolantC;         // degC
  double loadPercent;      // calculated engine load, %
  double throttlePercent;  // absolute throttle position, %
  double intakeAirC;       // degC
  double fuelPercent;      // fuel tank level, %
  double ambientC;         // degC
};

inline constexpr std::int64_t kCycleNs = 60'000'000'000;

// [any] The vehicle's state at host time `ns` (ns since the host clock's epoch; negative: 0).
DriveState DriveCycle(std::int64_t ns) noexcept;

}  // namespace XeCanAnalysis
