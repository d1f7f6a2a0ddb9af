#pragma once
// Replays a log with canhost run (--fast --replay --dbc --all-signals --signals) and holds every
// value of the run's signals against "canhost dbc decode" of the same log: each value as decoded,
// at the frame-aligned time at which its message ended on the wire. That time is a model of the
// replay kept here on its own: the log's frames in time order (a window of 1 s sorts a slightly
// unordered log), each at its logged time to the 125 µs tick, or as soon as the frame before has
// left the wire and it has had its own time on it (without stuff bits) at the channel's rates. A
// value is in place when its time in the signals lies within one slow sample before that time and
// one slow sample plus the placement slack (10 ticks) after it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanPort.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestSupport.h"

namespace e2e_test {

// One source on channel 0 and no driver configuration: nothing but the log on the bus, and
// virtual channels without clock drift.
struct ReplaySetup {
  std::filesystem::path log;
  std::filesystem::path dbc;
  // The channel the replay's source uses is 0, opened with these rates.
  XeCanDriverKvaser::detail::BusParams bus{false, 500'000, 0, 0};
  double samplePeriod = 0.001;
  unsigned samplesPerFrame = 100;
};

struct ReplayReport {
  std::size_t values = 0;     // values of the log ("canhost dbc decode")
  std::size_t matched = 0;    // of those, in the signals as decoded and in place
  std::size_t missing = 0;    // of those, not in the signals
  std::size_t misplaced = 0;  // in the signals, but further from their time than allowed
  std::size_t extra = 0;      // values in the signals that the log does not hold
  std::size_t frames = 0;     // frames of the log the replay plays
  std::string firstProblem;   // the first value missing or misplaced, for the failure message
  testing_support::ProgramResult run;
  std::filesystem::path signalsFile;  // in a folder that lives as long as the report
  std::shared_ptr<testing_support::TempDir> folder;
};

// [any] Runs the replay and compares; gtest failures only for a run that could not be compared.
ReplayReport CheckReplay(const ReplaySetup& setup);

// [any] "name: N values, M matched, K missing, ..." for the test's output.
std::string Describe(const std::string& name, const ReplayReport& report);

}  // namespace e2e_test
