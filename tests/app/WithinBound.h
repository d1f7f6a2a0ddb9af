#pragma once
// A bounded wait for something that may hang (Stop of a measurement): a hang fails the test and
// ends the program at once, since the hung thread cannot be taken back, instead of holding CI up
// until its time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>

namespace testing_support {

// Runs `act` on a thread of its own and waits at most `bound` for it.
inline void WithinBound(const std::function<void()>& act, const char* what,
                        std::chrono::seconds bound = std::chrono::seconds(30)) {
  auto done = std::async(std::launch::async, act);
  if (done.wait_for(bound) == std::future_status::ready) return done.get();
  ADD_FAILURE() << what << " did not return within " << bound.count() << " s";
  std::fflush(stdout);
  std::_Exit(1);
}

}  // namespace testing_support
