#pragma once
// The simulated vehicle's drive cycle: what the OBD-II simulator reports at a host time. A pure
// function of the host clock, so that a test (or a check of a recorded run) computes the value
// any answer must carry.
//
// One cycle lasts kCycleNs and repeats (cycle time c = host time mod kCycleNs). The car pulls away
// after a second, so that a short measurement from the clock's start already sees it move:
//   c in [   0,  1) s  idle           0 km/h, 800 rpm
//   c in [   1, 13.5) s  acceleration 0 -> 100 km/h at 8 km/h/s through gears 1..5
//   c in [13.5, 40) s  cruise         100 km/h in 5th gear
//   c in [  40, 50) s  braking        100 -> 0 km/h at 10 km/h/s, gears down
//   c in [  50, 60) s  idle
// Engine speed = max(800, speed x ratio of the gear), gear g holding speeds [20(g-1), 20g) km/h:
//   t = 3.5 s -> 20 km/h, gear 2 -> 1600 rpm     t = 35 s -> 100 km/h -> 2800 rpm
//   t = 5 s -> 32 km/h, gear 2 -> 2560 rpm (a 5 s measurement: 0..32 km/h, 800..3000 rpm)
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
